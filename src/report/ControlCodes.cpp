#include "report/ControlCodes.h"

namespace {
constexpr char16_t kEsc = 27;
constexpr char16_t kShiftIn = 15;
constexpr char16_t kDeviceControl2 = 18;
constexpr char16_t kTab = 9;

bool isParameter(QChar c) {
    return c.isDigit() || c == QLatin1Char(';');
}
} // namespace

DecodedText decodeControlCodes(const QString& input, PrintState state) {
    DecodedText out;
    // Plain text is by far the common case: nothing to decode.
    bool plain = true;
    for (QChar c : input)
        if (c.unicode() < 32 || c.unicode() == 127) {
            plain = false;
            break;
        }
    if (plain) {
        out.text = input;
        out.bold = state.bold && !input.isEmpty();
        out.after = state;
        return out;
    }
    out.text.reserve(input.size());
    const qsizetype n = input.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = input[i].unicode();
        if (c == kEsc) {
            if (i + 1 >= n)
                break;
            const char16_t code = input[++i].unicode();
            if (code == u'E')
                state.bold = true;
            else if (code == u'F')
                state.bold = false;
            else if (code == kShiftIn)
                state.condensed = true;
            else if (code == u'P' || code == u'M')
                while (i + 1 < n && isParameter(input[i + 1]))
                    ++i;
            continue;
        }
        if (c == kShiftIn) {
            state.condensed = true;
        } else if (c == kDeviceControl2) {
            state.condensed = false;
        } else if (c == kTab || c == u'\n') {
            out.text += QLatin1Char(' ');
        } else if (c >= 32 && c != 127) {
            out.text += input[i];
            out.bold = out.bold || state.bold;
        }
    }
    out.after = state;
    return out;
}
