#!/usr/bin/env python3
"""Runs the real ostra_driver_setup.exe under Wine and checks what it did.

usage: run_installer_under_wine.py --exe EXE --vendor-inf INF --case CASE [--system wow64|win32]
                                  [--planted-dll DLL --probe EXE]

CASE is win10, win81, win7, vista or winxp64 (the Windows version the prefix plays while the
installer runs twice in a scratch folder), no-logs (a folder without logs\\) or
planted-dll (DLLs named like system DLLs the installer loads lie beside it; the
installer must not load them: DLL is such a DLL, which leaves a marker file
when loaded, and the probe EXE loads a DLL by name the careless way).
With --system EXE is the shipped 32-bit installer and CASE one of
SYSTEM_CASES[system]: wow64 is a WoW64 prefix (64-bit Windows), where its
fixed paths go through the file-system redirection that Windows applies to
32-bit programs and that the installer leaves alone; win32 a prefix of 32-bit
Windows, where the plan's 32-bit rows apply.
The prefix is $WINEPREFIX, already booted; its Windows version and every file
the installer puts into its C:\\Windows folders are restored at the end.
"""
import argparse
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / 'core'))
import gen_log_messages  # noqa: E402

MESSAGES = dict(gen_log_messages.read_table(
    str(pathlib.Path(__file__).resolve().parent.parent / 'core' / 'LogMessages.txt')))

FRAME = re.compile(rb'\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[driver_install_info\] \[info\] ')
VENDOR_INF = 'Pelk_UsbToUartDriver_NoSign.inf'

SECTION = '[FakeModemCopyFileSection]'


def fixture_modem_inf(folder):
    text = ('[Version]\r\nSignature="$CHICAGO$"\r\nClass=Modem\r\n\r\n'
            f'{SECTION}\r\nusbser.sys,,,0x20\r\n\r\n[Strings]\r\nFixture="{folder}"\r\n')
    return b'\xff\xfe' + text.encode('utf-16-le')


def patched(inf_bytes):
    marker = (SECTION + '\r\n').encode('utf-16-le')
    at = inf_bytes.index(marker) + len(marker)
    return inf_bytes[:at] + ';'.encode('utf-16-le') + inf_bytes[at:]


def fixture_driver(folder):
    return f'fixture usbser.sys from Drivers\\{folder}\r\n'.encode('ascii')


# Per case: the Windows version name, the record naming the system (the
# prefix's processor is AMD64), and the copies as (Drivers subfolder, file,
# destination below drive_c/windows, record when copied, record when present).
CASES = {
    'win10': ('win10', 'Windows10_64', [
        ('win10', 'mdmcpq.inf', 'inf/mdmcpq.inf', 'ModemInfCopied', 'ModemInfPatched'),
        ('win10', 'usbser.sys', 'system32/drivers/usbser.sys', 'SerialDriverCopied', 'SerialDriverExists'),
    ]),
    'win7': ('win7', 'Windows7_64', [
        ('win7_64bit/32bits', 'mdmcpq.inf', 'inf/mdmcpq.inf', 'ModemInfCopied', 'ModemInfPatched'),
        ('win7_64bit/32bits', 'usbser.sys', 'system32/drivers/usbser.sys',
         'System32DriverCopied', 'System32DriverExists'),
        ('win7_64bit/64bits', 'usbser.sys', 'syswow64/drivers/usbser.sys',
         'SysWow64DriverCopied', 'SysWow64DriverExists'),
    ]),
    'win81': ('win81', 'Windows8_1_64', [
        ('win8_64bit', 'mdmcpq.inf', 'inf/mdmcpq.inf', 'ModemInfCopied', 'ModemInfPatched'),
        ('win8_64bit', 'usbser.sys', 'system32/drivers/usbser.sys', 'SerialDriverCopied', 'SerialDriverExists'),
    ]),
    'vista': ('vista', 'WindowsVista64', []),
    # XP x64 reports 5.2 and takes the XP plan, whose INF folder is spelled
    # C:\WINDOWS\inf.
    'winxp64': ('winxp64', 'WindowsXp64', [
        ('xp', 'mdmcpq.inf', 'inf/mdmcpq.inf', 'ModemInfCopied', 'ModemInfPatched'),
        ('xp', 'usbser.sys', 'system32/drivers/usbser.sys', 'SerialDriverCopied', 'SerialDriverExists'),
    ]),
    'no-logs': ('win10', None, []),
    'planted-dll': ('win10', 'Windows10_64', [
        ('win10', 'mdmcpq.inf', 'inf/mdmcpq.inf', 'ModemInfCopied', 'ModemInfPatched'),
        ('win10', 'usbser.sys', 'system32/drivers/usbser.sys', 'SerialDriverCopied', 'SerialDriverExists'),
    ]),
}

# The shipped 32-bit installer on 64-bit Windows. A 32-bit program's
# "C:\Windows\System32" is SysWOW64: both copies of usbser.sys land in
# SysWOW64\drivers, and nothing in System32\drivers. Per case: the Windows
# version, the record naming the system, and the runs in order, each as
# (SysWOW64\drivers exists before it, the plan's records, the files below
# drive_c/windows afterwards with the Drivers file each holds, patched or not).
# A record given as (name, code, shipped file) is the extra record of a copy
# that failed for another cause than an existing file.
WOW64_CASES = {
    'win10': ('win10', 'Windows10_64', [
        # Wine makes no SysWOW64\drivers: the redirected copy finds no folder.
        (False, ['ModemInfCopied', 'SerialDriverExists', ('CopyFailed', 3, 'win10\\usbser.sys')],
         {'inf/mdmcpq.inf': ('win10/mdmcpq.inf', False)}),
        # Windows has the folder: the driver lands there.
        (True, ['ModemInfPatched', 'SerialDriverCopied'],
         {'inf/mdmcpq.inf': ('win10/mdmcpq.inf', True), 'syswow64/drivers/usbser.sys': ('win10/usbser.sys', False)}),
    ]),
    'win7': ('win7', 'Windows7_64', [
        # The 32-bit driver meant for System32 takes the place of the 64-bit
        # one meant for SysWOW64.
        (True, ['ModemInfCopied', 'System32DriverCopied', 'SysWow64DriverExists'],
         {'inf/mdmcpq.inf': ('win7_64bit/32bits/mdmcpq.inf', False),
          'syswow64/drivers/usbser.sys': ('win7_64bit/32bits/usbser.sys', False)}),
    ]),
}

# The shipped installer on 32-bit Windows: the 32-bit rows of the plan, each
# run's SysWOW64\drivers as it is (there is no SysWOW64).
WIN32_CASES = {
    'win10': ('win10', 'Windows10_32', [
        (None, ['ModemInfCopied', 'SerialDriverCopied'],
         {'inf/mdmcpq.inf': ('win10/mdmcpq.inf', False), 'system32/drivers/usbser.sys': ('win10/usbser.sys', False)}),
        (None, ['ModemInfPatched', 'SerialDriverExists'],
         {'inf/mdmcpq.inf': ('win10/mdmcpq.inf', True), 'system32/drivers/usbser.sys': ('win10/usbser.sys', False)}),
    ]),
    'win7': ('win7', 'Windows7_32', [
        (None, ['ModemInfCopied', 'SerialDriverCopied'],
         {'inf/mdmcpq.inf': ('win7_32bit/mdmcpq.inf', False),
          'system32/drivers/usbser.sys': ('win7_32bit/usbser.sys', False)}),
    ]),
}
SYSTEM_CASES = {'wow64': WOW64_CASES, 'win32': WIN32_CASES}

# The names a planted DLL takes: the DLL the installer loads for the
# pre-install, and one that DLL itself loads under Wine (not a known DLL on
# Windows either). Wine prefers its own copies of system DLLs; preferring a
# DLL file found by the search, as Windows does, is what the override asks for.
PLANTED_NAMES = ['setupapi.dll', 'version.dll']
PREFER_FOUND_DLLS = 'setupapi,version=n,b'


# Every destination the installer may write to, below drive_c/windows.
DESTINATIONS = ['inf/mdmcpq.inf', 'system32/drivers/usbser.sys', 'syswow64/drivers/usbser.sys']

PREINSTALL_OUTCOMES = {
    'installed': ['CallingPreinstall', 'PreinstallSucceeded', 'VendorDriverReady'],
    'present': ['CallingPreinstall', 'PreinstallFailed', 'VendorDriverPresent', 'VendorDriverReady'],
    'failed': ['CallingPreinstall', 'PreinstallFailed', 'PreinstallError', 'VendorDriverFailed'],
}


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def wine(args, cwd=None, output=None, dll_overrides=None):
    """Runs a Wine command; output, when given, receives its stdout. Files,
    not pipes: Wine's services would keep a pipe open after the command."""
    env = dict(os.environ)
    if dll_overrides is not None:
        env['WINEDLLOVERRIDES'] = dll_overrides
    with tempfile.TemporaryFile() as out:
        result = subprocess.run(['wine'] + args, cwd=cwd, stdin=subprocess.DEVNULL, env=env,
                                stdout=out, stderr=subprocess.DEVNULL, timeout=180)
        if output is not None:
            out.seek(0)
            output.append(out.read().decode('utf-8', 'replace'))
    return result.returncode


def windows_version():
    out = []
    if wine(['reg', 'query', r'HKCU\Software\Wine', '/v', 'Version'], output=out) != 0:
        return None
    m = re.search(r'Version\s+REG_SZ\s+(\S+)', out[0])
    return m.group(1) if m else None


def set_windows_version(version):
    if version is None:
        wine(['reg', 'delete', r'HKCU\Software\Wine', '/v', 'Version', '/f'])
    else:
        # A `wine reg add` has been seen to fail, rarely and without a reason,
        # in a busy run: it is tried again, and a last failure tells its code.
        for attempt in range(3):
            code = wine(['reg', 'add', r'HKCU\Software\Wine', '/v', 'Version', '/t', 'REG_SZ',
                         '/d', version, '/f'])
            if code == 0:
                return
            time.sleep(1)
        raise Failure(f'cannot set the Windows version {version} (wine reg exited with {code})')


def log_messages(path):
    """The decoded messages of the log's records; checks each record's frame
    and its CR LF."""
    data = path.read_bytes()
    starts = [m for m in FRAME.finditer(data)]
    check(starts and starts[0].start() == 0, 'the log does not start with a record')
    messages = []
    for i, m in enumerate(starts):
        end = starts[i + 1].start() if i + 1 < len(starts) else len(data)
        record = data[m.end():end]
        check(record.endswith(b'\r\n'), f'record {i} does not end in CR LF: {record!r}')
        messages.append(record[:-2].decode('gbk'))
    return messages


def names_to_texts(names):
    return [MESSAGES[n] for n in names]


def describe(messages):
    inverse = {text: name for name, text in MESSAGES.items()}
    return '\n  '.join(inverse.get(m, repr(m)) for m in messages)


def vendor_infs_in(inf_dir, vendor_bytes):
    return sorted(p for p in inf_dir.iterdir()
                  if p.suffix.lower() == '.inf' and p.read_bytes() == vendor_bytes)


def expect_run(messages, system, copies, first_run, installed_infs):
    """Checks one run's records; returns how the pre-install went."""
    return expect_plan(messages, [system] + [c[3] if first_run else c[4] for c in copies], installed_infs)


def record_text(record):
    if isinstance(record, tuple):
        name, code, shipped = record
        return MESSAGES[name] + str(code) + MESSAGES['CopyFailedSource'] + 'Drivers\\' + shipped + '\n'
    return MESSAGES[record]


def expect_plan(messages, plan, installed_infs):
    """Checks one run's records with the plan's records in between."""
    for outcome, records in PREINSTALL_OUTCOMES.items():
        expected = (names_to_texts(['LogOpened', 'DriverVersion', 'DetectingSystem']) +
                    [record_text(r) for r in plan] +
                    names_to_texts(['Separator', 'InstallingVendorDriver'] + records + ['LogClosing', 'RunEnd']))
        if messages == expected:
            if outcome != 'failed':
                check(installed_infs, 'the log reports the vendor INF in place, the INF folder lacks it')
            return outcome
    raise Failure('unexpected records:\n  ' + describe(messages))


def markers_in(folder):
    return sorted(p.name for p in folder.iterdir() if p.name.lower().endswith('.dll.loaded'))


def run_planted_dll(folder, planted_dll, probe, scratch, system, copies, inf_dir, vendor_bytes):
    """The installer with DLLs planted beside it, under Wine's Windows-like
    preference for a DLL file found by the search."""
    # The control: a program that loads the DLL by its bare name does load
    # the planted one, so a missing marker below means something.
    control = scratch / 'control'
    control.mkdir()
    shutil.copy(probe, control / 'probe.exe')
    shutil.copy(planted_dll, control / PLANTED_NAMES[0])
    check(wine([str(control / 'probe.exe'), PLANTED_NAMES[0]], cwd=control,
               dll_overrides=PREFER_FOUND_DLLS) == 0, 'the control program could not load the planted DLL')
    check(markers_in(control) == [PLANTED_NAMES[0] + '.loaded'],
          f'the planted DLL was not loaded by the control program: {markers_in(control)}')

    for name in PLANTED_NAMES:
        shutil.copy(planted_dll, folder / name)
    check(wine([str(folder / 'ostra_driver_setup.exe')], cwd=folder,
               dll_overrides=PREFER_FOUND_DLLS) == 0, 'exit code is not 0')
    check(not markers_in(folder), f'the installer loaded a planted DLL: {markers_in(folder)}')
    log = folder / 'logs' / 'Pelk_Ostra_Driver_NoSign_Log.txt'
    # The real setupapi did the pre-install (the planted one fails it).
    outcome = expect_run(log_messages(log), system, copies, True, vendor_infs_in(inf_dir, vendor_bytes))
    check(outcome != 'failed', 'the pre-install failed')


def make_setup_folder(exe, vendor_inf, scratch, with_logs):
    """The installer in a scratch folder with the fixtures of every Drivers
    subfolder; returns the folder and the vendor INF's bytes."""
    folder = scratch / 'setup'
    drivers = folder / 'Drivers'
    drivers.mkdir(parents=True)
    shutil.copy(exe, folder / 'ostra_driver_setup.exe')
    shutil.copy(vendor_inf, drivers / VENDOR_INF)
    for sub in ['xp', 'win7_32bit', 'win7_64bit/32bits', 'win7_64bit/64bits', 'win8_64bit', 'win10']:
        (drivers / sub).mkdir(parents=True)
        (drivers / sub / 'usbser.sys').write_bytes(fixture_driver(sub))
        if sub != 'win7_64bit/64bits':
            (drivers / sub / 'mdmcpq.inf').write_bytes(fixture_modem_inf(sub))
    if with_logs:
        (folder / 'logs').mkdir()
    return folder, (drivers / VENDOR_INF).read_bytes()


def run_system_case(cases, case, exe, vendor_inf, scratch, windir, created_dirs):
    """The 32-bit installer's runs of a case of WOW64_CASES or WIN32_CASES,
    one after the other in one folder."""
    version, system, runs = cases[case]
    folder, vendor_bytes = make_setup_folder(exe, vendor_inf, scratch, True)
    drivers = folder / 'Drivers'
    log = folder / 'logs' / 'Pelk_Ostra_Driver_NoSign_Log.txt'
    inf_dir = windir / 'inf'
    wow64_drivers = windir / 'syswow64' / 'drivers'
    set_windows_version(version)
    before = []
    for number, (folder_exists, plan, files) in enumerate(runs, 1):
        if folder_exists and not wow64_drivers.exists():
            wow64_drivers.mkdir(parents=True)
            created_dirs.append(wow64_drivers)
        check(folder_exists is None or wow64_drivers.exists() == folder_exists,
              f'run {number}: SysWOW64\\drivers is not as the case says')
        check(wine([str(folder / 'ostra_driver_setup.exe')], cwd=folder) == 0, f'run {number}: exit code is not 0')
        messages = log_messages(log)
        check(messages[:len(before)] == before, f'run {number} did not append to the runs before')
        try:
            expect_plan(messages[len(before):], [system] + plan, vendor_infs_in(inf_dir, vendor_bytes))
        except Failure as e:
            raise Failure(f'run {number}: {e}')
        before = messages
        for dest, (shipped, patched_inf) in files.items():
            want = (drivers / shipped).read_bytes()
            check((windir / dest).is_file() and (windir / dest).read_bytes() == (patched(want) if patched_inf else want),
                  f'run {number}: {dest} is not the {"patched " if patched_inf else ""}copy of Drivers/{shipped}')
        for dest in DESTINATIONS:
            if dest not in files:
                check(not (windir / dest).exists(), f'run {number}: {dest} was written')


def run_case(case, exe, vendor_inf, scratch, windir, planted_dll=None, probe=None):
    version, system, copies = CASES[case]
    folder, vendor_bytes = make_setup_folder(exe, vendor_inf, scratch, case != 'no-logs')
    drivers = folder / 'Drivers'
    log = folder / 'logs' / 'Pelk_Ostra_Driver_NoSign_Log.txt'
    inf_dir = windir / 'inf'
    infs_before = vendor_infs_in(inf_dir, vendor_bytes)
    check(not infs_before, 'the vendor INF is in the prefix before the run')

    set_windows_version(version)
    exe_in_folder = str(folder / 'ostra_driver_setup.exe')

    if case == 'planted-dll':
        run_planted_dll(folder, planted_dll, probe, scratch, system, copies, inf_dir, vendor_bytes)
        return

    if case == 'no-logs':
        check(wine([exe_in_folder], cwd=folder) == 1, 'exit code is not 1 without a logs folder')
        check(not (folder / 'logs').exists(), 'the installer created the logs folder')
        for dest in DESTINATIONS:
            check(not (windir / dest).exists(), f'{dest} was written without a log')
        check(not vendor_infs_in(inf_dir, vendor_bytes), 'the vendor INF was installed without a log')
        return

    check(wine([exe_in_folder], cwd=folder) == 0, 'first run: exit code is not 0')
    first = log_messages(log)
    expect_run(first, system, copies, True, vendor_infs_in(inf_dir, vendor_bytes))
    for sub, name, dest, _, _ in copies:
        check((windir / dest).read_bytes() == (drivers / sub / name).read_bytes(),
              f'{dest} is not the copy of Drivers/{sub}/{name}')
    copied = {c[2] for c in copies}
    for dest in DESTINATIONS:
        if dest not in copied:
            check(not (windir / dest).exists(), f'{dest} was written, the plan has no such copy')

    check(wine([exe_in_folder], cwd=folder) == 0, 'second run: exit code is not 0')
    both = log_messages(log)
    check(both[:len(first)] == first, 'the second run did not append to the first')
    expect_run(both[len(first):], system, copies, False, vendor_infs_in(inf_dir, vendor_bytes))
    for sub, name, dest, _, _ in copies:
        shipped = (drivers / sub / name).read_bytes()
        want = patched(shipped) if name == 'mdmcpq.inf' else shipped
        check((windir / dest).read_bytes() == want, f'{dest} after the second run')


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--exe', required=True)
    parser.add_argument('--vendor-inf', required=True)
    parser.add_argument('--case', required=True, choices=sorted(set(CASES) | set(WOW64_CASES) | set(WIN32_CASES)))
    parser.add_argument('--system', choices=sorted(SYSTEM_CASES))
    parser.add_argument('--planted-dll')
    parser.add_argument('--probe')
    args = parser.parse_args()
    if args.case not in (SYSTEM_CASES[args.system] if args.system else CASES):
        parser.error(f'no case {args.case}' + (f' for --system {args.system}' if args.system else ''))
    if args.case == 'planted-dll' and not (args.planted_dll and args.probe):
        parser.error('planted-dll needs --planted-dll and --probe')

    prefix = os.environ.get('WINEPREFIX')
    if not prefix or not (pathlib.Path(prefix) / 'drive_c' / 'windows').is_dir():
        print('WINEPREFIX must name a booted Wine prefix', file=sys.stderr)
        return 2
    windir = pathlib.Path(prefix) / 'drive_c' / 'windows'

    # What the run may change, to be put back afterwards.
    saved_version = windows_version()
    saved_files = {d: (windir / d).read_bytes() for d in DESTINATIONS if (windir / d).is_file()}
    # The 64-bit test build sees the real System32 and SysWOW64 and gets a
    # SysWOW64\drivers; the WoW64 cases make the prefix's folders as they go.
    created_dirs = []
    if not args.system and not (windir / 'syswow64' / 'drivers').exists():
        created_dirs.append(windir / 'syswow64' / 'drivers')
        created_dirs[0].mkdir(parents=True)
    for d in DESTINATIONS:
        (windir / d).unlink(missing_ok=True)
    infs_before = set((windir / 'inf').iterdir())
    scratch = pathlib.Path(tempfile.mkdtemp(prefix='ostra-wine-'))
    try:
        if args.system:
            run_system_case(SYSTEM_CASES[args.system], args.case, pathlib.Path(args.exe),
                            pathlib.Path(args.vendor_inf), scratch, windir, created_dirs)
        else:
            run_case(args.case, pathlib.Path(args.exe), pathlib.Path(args.vendor_inf), scratch, windir,
                     args.planted_dll and pathlib.Path(args.planted_dll), args.probe and pathlib.Path(args.probe))
    except Failure as e:
        print(f'{args.case}: {e}', file=sys.stderr)
        return 1
    finally:
        set_windows_version(saved_version)
        for d in DESTINATIONS:
            (windir / d).unlink(missing_ok=True)
        for p in set((windir / 'inf').iterdir()) - infs_before:
            p.unlink()
        for d, data in saved_files.items():
            (windir / d).write_bytes(data)
        for d in created_dirs:
            shutil.rmtree(d, ignore_errors=True)
        shutil.rmtree(scratch, ignore_errors=True)
    print(f'{args.case}: ok')
    return 0


if __name__ == '__main__':
    sys.exit(main())
