#!/usr/bin/env python3
"""Turns the UTF-8 message table into a C++ header of GBK byte strings.

usage: gen_log_messages.py LogMessages.txt LogMessages.h

Each constant msg::kName holds the GBK bytes the log writes; kLogMessageTable
lists every message with its UTF-8 source text as well, so a test can check the
conversion with an encoder of its own.
"""
import re
import sys

LINE = re.compile(r'^([A-Za-z][A-Za-z0-9_]*)\s+"((?:[^"\\]|\\.)*)"\s*$')


def unescape(text, where):
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c == '\\':
            nxt = text[i + 1]
            if nxt == 'n':
                out.append('\n')
            elif nxt in '\\"':
                out.append(nxt)
            else:
                sys.exit(f'{where}: unknown escape \\{nxt}')
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def c_literal(data):
    # Printable ASCII stays readable; every other byte is a three-digit octal
    # escape, which cannot swallow the character after it the way \x can.
    parts = []
    for b in data:
        ch = chr(b)
        if ch in '\\"?':
            parts.append('\\' + ch)
        elif 0x20 <= b < 0x7F:
            parts.append(ch)
        else:
            parts.append(f'\\{b:03o}')
    return '"' + ''.join(parts) + '"'


def read_table(source):
    """The table's messages in order, as (name, text) with escapes resolved."""
    messages = []
    names = set()
    with open(source, encoding='utf-8') as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip('\r\n')
            if not line.strip() or line.lstrip().startswith('#'):
                continue
            where = f'{source}:{number}'
            m = LINE.match(line)
            if not m:
                sys.exit(f'{where}: expected Name "text"')
            name, text = m.group(1), unescape(m.group(2), where)
            if name in names:
                sys.exit(f'{where}: {name} defined twice')
            names.add(name)
            messages.append((name, text))
    return messages


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, target = sys.argv[1], sys.argv[2]
    messages = []
    for name, text in read_table(source):
        try:
            gbk = text.encode('gbk')
        except UnicodeEncodeError as e:
            sys.exit(f'{source}: {name} is not representable in GBK: {e}')
        messages.append((name, text.encode('utf-8'), gbk))

    out = ['// Generated from LogMessages.txt by gen_log_messages.py; edit the table, not this file.',
           '#pragma once',
           '',
           '#include <string_view>',
           '',
           'namespace msg {',
           '']
    for name, _, gbk in messages:
        out.append(f'inline constexpr std::string_view k{name}{{{c_literal(gbk)}, {len(gbk)}}};')
    out += ['',
            'struct LogMessageSource {',
            '    std::string_view name;',
            '    std::string_view utf8;',
            '    std::string_view gbk;',
            '};',
            '',
            'inline constexpr LogMessageSource kLogMessageTable[] = {']
    for name, utf8, _ in messages:
        out.append(f'    {{"{name}", {{{c_literal(utf8)}, {len(utf8)}}}, k{name}}},')
    out += ['};', '', '}  // namespace msg', '']
    with open(target, 'w', encoding='ascii', newline='\n') as f:
        f.write('\n'.join(out))


if __name__ == '__main__':
    main()
