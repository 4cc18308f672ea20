// The receive dispatcher: every byte the port thread hands over, decoded in the
// selected encoding and typed.
#include "TapwireDlg.h"

#include "DecoderState.h"
#include "KeyEvents.h"
#include "Typing.h"

tapwire::DecoderState g_decoderState;

LRESULT CTapwireDlg::OnPortRxChar(WPARAM wParam, LPARAM)
{
    // The port thread waits in its send until this returns, so m_byRx holds this
    // notification's byte. A failed read (count 0) leaves the previous byte
    // there, which must not be typed twice.
    if (wParam == 0)
        return 0;
    tapwire::DispatchReceivedByte(g_decoderState, m_nEncoding, m_bPortOpen != FALSE, m_SerialPort.m_byRx,
                                  ConvertCodePage, kTypingOperations);
    return 0;
}
