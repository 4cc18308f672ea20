#!/usr/bin/env bash
# The demo, run inside tests/wine/with-harness.sh: Tapwire with a simulated
# scanner (a fake USB scanner device on a pty COM port) typing into a window.
# PORT=/dev/ttyUSB0 links a real device as the scanner's COM7 instead. On
# the private Xvfb a screenshot is saved; on the caller's display (run.sh) the
# windows stay until Enter is pressed, when run from a terminal.
set -u
build=build/win64
run=$TAPWIRE_HARNESS_DIR

if [ -n "${PORT:-}" ]; then
    ln -sfn "$PORT" "$WINEPREFIX/dosdevices/com7"
fi

# The maker's scanner on COM7, so the port list preselects it.
key='HKLM\System\CurrentControlSet\Enum\USB\VID_2E9B&PID_0002\5&1234&0&1'
wine reg add "$key" /v ClassGUID /t REG_SZ /d '{4D36E978-E325-11CE-BFC1-08002BE10318}' /f >/dev/null 2>&1
wine reg add "$key" /v Class /t REG_SZ /d Ports /f >/dev/null 2>&1
wine reg add "$key" /v FriendlyName /t REG_SZ /d 'USB Serial Device (COM7)' /f >/dev/null 2>&1
wine reg add "$key" /v HardwareID /t REG_MULTI_SZ /d 'USB\VID_2E9B&PID_0002&REV_0100\0USB\VID_2E9B&PID_0002' /f >/dev/null 2>&1

# An installation folder whose settings start the port at once, in UTF-8.
mkdir -p "$run/app"
printf '[Encoding Setting]\r\nEncoding=3\r\n[Start Setting]\r\nBootRun=0\r\nRunMini=0\r\nRunStart=1\r\n[Language Setting]\r\nLanguage=1\r\n[Uart Setting]\r\nComPort=0\r\nBaudRate=9\r\nParityBit=0\r\nDataBit=1\r\nStopBit=0\r\n' >"$run/app/Config.ini"
wine reg add 'HKCU\SOFTWARE\TAPWIRE' /v InstallPath /t REG_SZ /d "$(winepath -w "$run/app")" /f >/dev/null 2>&1

wine "$build/Tapwire.exe" </dev/null >/dev/null 2>&1 &
for _ in $(seq 100); do
    xwininfo -name 'Tapwire_V2.5.9 JP' >/dev/null 2>&1 && break
    sleep 0.1
done
echo "demo: Tapwire is running with the scanner's port started"

wine "$build/tests/wine/TargetWindow.exe" "$(winepath -w "$run/typed.bin")" </dev/null >/dev/null 2>&1 &
sleep 2

if [ -n "${PORT:-}" ]; then
    echo "demo: scan with the device on $PORT; press Enter here to end"
    read -r _
else
    scanner="$run/com27"
    scan() { printf '%b' "$1" >"$scanner"; sleep 1; }
    scan '4006381333931\r'                                   # an EAN-13 product code
    scan '(01)09501101530003\x1d(10)ABC123\r'                # GS1 with a group separator
    scan 'Lieferung 中文 テスト né\r'                        # UTF-8 text with CJK
    scan "$(printf 'PAYLOAD-%04d;' $(seq 1 20))\r"           # a longer 2D payload
    sleep 2
fi

if [ "${TAPWIRE_HARNESS_XVFB:-1}" = 1 ]; then
    # Nobody sees the private display: a picture of it instead.
    mkdir -p build
    import -display "$DISPLAY" -window root build/demo-screenshot.png 2>/dev/null \
        && echo "demo: screenshot saved as build/demo-screenshot.png"
fi
python3 - "$run/typed.bin" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
text = []
for i in range(0, len(data) - 3, 4):
    kind, value = struct.unpack('<HH', data[i:i + 4])
    if kind == ord('C'):
        text.append('\n' if value == 13 else chr(value))
print("demo: the window received:\n" + ''.join(text).encode('utf-16', 'surrogatepass').decode('utf-16'))
PY
if [ "${TAPWIRE_HARNESS_XVFB:-1}" = 0 ] && [ -z "${PORT:-}" ] && [ -t 0 ]; then
    echo "demo: the windows are on your display $DISPLAY; press Enter here to end"
    read -r _
fi
wineserver -k
