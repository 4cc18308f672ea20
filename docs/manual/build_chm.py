#!/usr/bin/env python3
"""Compiles one help manual with chmcmd, and lists what a compiled manual holds.

The sources are UTF-8. HTML Help reads a manual's contents, index, window
title and topic titles in the ANSI code page of the manual's language, not as
UTF-8, so each project is staged in that code page first:

  - pages: their charset declaration is rewritten to the code page; characters
    the code page lacks (Japanese interface texts in the English manual) become
    numeric character references, which the viewer shows whatever the charset;
  - the project, contents and index files and the page titles must fit the code
    page as they are: the viewer reads them as bare bytes.

Then chmcmd compiles the staged project and the result is checked (signature,
language, every listed file present, title) before it replaces the output.

  build_chm.py [--chmcmd PATH] [--include FILE]... --staging DIR PROJECT.hhp OUTPUT.chm
  build_chm.py --list FILE.chm
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys

# Language id of the .hhp -> (Python codec, charset name for the pages)
CODE_PAGES = {
    0x0409: ("cp1252", "windows-1252"),   # English
    0x0804: ("gbk", "gb2312"),            # Simplified Chinese; the viewer takes gb2312 as GBK
}

PAGE_SUFFIXES = (".html", ".htm")
TEXT_SUFFIXES = PAGE_SUFFIXES + (".hhp", ".hhc", ".hhk", ".css")

CHARSET_RE = re.compile(r'(<meta\s+http-equiv="Content-Type"\s+content="text/html;\s*charset=)utf-8(")',
                        re.IGNORECASE)
TITLE_RE = re.compile(r"<title>(.*?)</title>", re.IGNORECASE | re.DOTALL)


class BuildError(Exception):
    pass


# --- the project file -------------------------------------------------------

def read_project(path):
    """The [OPTIONS] as a dict (keys in lower case) and the [FILES] list."""
    options, files, section = {}, [], None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1].upper()
            elif section == "OPTIONS" and "=" in line:
                key, value = line.split("=", 1)
                options[key.strip().lower()] = value.strip()
            elif section == "FILES":
                files.append(line)
    return options, files


def project_language(options, path):
    text = options.get("language", "")
    match = re.match(r"0x([0-9a-fA-F]+)", text)
    if not match or int(match.group(1), 16) not in CODE_PAGES:
        raise BuildError(f"{path}: Language must be one of "
                         + ", ".join(f"0x{lcid:x}" for lcid in CODE_PAGES))
    return int(match.group(1), 16)


# --- staging ----------------------------------------------------------------

def encode_strict(text, codec, where):
    try:
        return text.encode(codec)
    except UnicodeEncodeError as e:
        raise BuildError(f"{where}: {text[e.start:e.end]!r} is not in code page {codec}; "
                         "the help viewer cannot show it here") from None


def stage_page(text, codec, charset, where):
    text, count = CHARSET_RE.subn(rf"\g<1>{charset}\g<2>", text)
    if count != 1:
        raise BuildError(f'{where}: needs exactly one <meta http-equiv="Content-Type" '
                         'content="text/html; charset=utf-8">')
    title = TITLE_RE.search(text)
    if not title:
        raise BuildError(f"{where}: has no <title>")
    encode_strict(title.group(1), codec, f"{where} <title>")
    return text.encode(codec, errors="xmlcharrefreplace")


def stage(source_dir, includes, staging_dir, codec, charset):
    if os.path.isdir(staging_dir):
        shutil.rmtree(staging_dir)
    os.makedirs(staging_dir)
    sources = [os.path.join(source_dir, name) for name in sorted(os.listdir(source_dir))]
    for path in sources + list(includes):
        if not os.path.isfile(path):
            continue
        name = os.path.basename(path)
        target = os.path.join(staging_dir, name)
        if not name.lower().endswith(TEXT_SUFFIXES):
            shutil.copyfile(path, target)
            continue
        with open(path, encoding="utf-8") as f:
            text = f.read()
        if name.lower().endswith(PAGE_SUFFIXES):
            data = stage_page(text, codec, charset, path)
        else:
            data = encode_strict(text, codec, path)
        with open(target, "wb") as f:
            f.write(data)


# --- reading a compiled file ------------------------------------------------

def read_encint(data, i):
    value = 0
    while True:
        byte = data[i]
        i += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, i


def read_chm(path):
    """(language id, {internal name: (section, offset, length)}, #SYSTEM entries)."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 0x60 or data[:4] != b"ITSF":
        raise BuildError(f"{path}: no ITSF signature, not a compiled help file")
    version, = struct.unpack_from("<I", data, 4)
    language, = struct.unpack_from("<I", data, 0x14)
    _, _, dir_offset, _ = struct.unpack_from("<QQQQ", data, 0x38)
    content_offset, = struct.unpack_from("<Q", data, 0x58) if version >= 3 else (None,)
    if data[dir_offset:dir_offset + 4] != b"ITSP":
        raise BuildError(f"{path}: no ITSP directory header")
    chunk_size, = struct.unpack_from("<I", data, dir_offset + 0x10)
    chunk_count, = struct.unpack_from("<I", data, dir_offset + 0x2C)
    header_length, = struct.unpack_from("<I", data, dir_offset + 0x08)

    entries = {}
    first_chunk = dir_offset + header_length
    for n in range(chunk_count):
        chunk = first_chunk + n * chunk_size
        if data[chunk:chunk + 4] != b"PMGL":   # index chunks (PMGI) only point at these
            continue
        free_space, = struct.unpack_from("<I", data, chunk + 4)
        i, end = chunk + 0x14, chunk + chunk_size - free_space
        while i < end:
            length, i = read_encint(data, i)
            name = data[i:i + length].decode("utf-8")
            i += length
            section, i = read_encint(data, i)
            offset, i = read_encint(data, i)
            size, i = read_encint(data, i)
            entries[name] = (section, offset, size)

    system = {}
    if content_offset is not None and entries.get("/#SYSTEM", (1,))[0] == 0:
        _, offset, size = entries["/#SYSTEM"]
        block = data[content_offset + offset:content_offset + offset + size]
        i = 4   # the block's version
        while i + 4 <= len(block):
            code, length = struct.unpack_from("<HH", block, i)
            system[code] = block[i + 4:i + 4 + length]
            i += 4 + length
    return language, entries, system


SYSTEM_TITLE = 3


def check_chm(path, language, options, files):
    found_language, entries, system = read_chm(path)
    if found_language != language:
        raise BuildError(f"{path}: language 0x{found_language:x}, expected 0x{language:x}")
    expected = list(files) + [options[key] for key in ("contents file", "index file") if key in options]
    missing = [name for name in expected if "/" + name.replace("\\", "/") not in entries]
    if missing:
        raise BuildError(f"{path}: missing inside: {', '.join(missing)}")
    codec = CODE_PAGES[language][0]
    title = system.get(SYSTEM_TITLE, b"").rstrip(b"\0")
    if title != options.get("title", "").encode(codec):
        raise BuildError(f"{path}: title {title!r} is not the project's")


# --- commands ---------------------------------------------------------------

def build(args):
    project = os.path.abspath(args.project)
    options, files = read_project(project)
    language = project_language(options, project)
    codec, charset = CODE_PAGES[language]
    compiled_name = options.get("compiled file")
    if not compiled_name:
        raise BuildError(f"{project}: no 'Compiled file'")

    staging = os.path.abspath(args.staging)
    stage(os.path.dirname(project), args.include, staging, codec, charset)
    run = subprocess.run([args.chmcmd, os.path.basename(project)], cwd=staging,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                         errors="replace")
    # chmcmd ends with 0 after warnings such as a link to a file that is not there.
    if run.returncode != 0 or "Warning" in run.stdout or "Error" in run.stdout:
        raise BuildError(f"chmcmd failed on {project}:\n{run.stdout}")

    compiled = os.path.join(staging, compiled_name)
    check_chm(compiled, language, options, files)
    os.replace(compiled, os.path.abspath(args.output))


def list_chm(path):
    language, entries, system = read_chm(path)
    codec = CODE_PAGES.get(language, ("latin-1",))[0]
    title = system.get(SYSTEM_TITLE, b"").rstrip(b"\0").decode(codec, errors="replace")
    print(f"{path}: language 0x{language:04x}, title {title!r}, {len(entries)} entries")
    for name, (section, _, size) in sorted(entries.items()):
        print(f"  {section} {size:8d}  {name}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", metavar="CHM", help="list the files inside a compiled manual")
    parser.add_argument("--chmcmd", default="chmcmd")
    parser.add_argument("--staging", help="scratch folder for the staged project")
    parser.add_argument("--include", action="append", default=[],
                        help="a shared file to stage with the project")
    parser.add_argument("project", nargs="?")
    parser.add_argument("output", nargs="?")
    args = parser.parse_args()
    try:
        if args.list:
            list_chm(args.list)
        elif args.project and args.output and args.staging:
            build(args)
        else:
            parser.error("give --list CHM, or --staging DIR PROJECT OUTPUT")
    except (BuildError, OSError) as e:
        print(f"build_chm: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
