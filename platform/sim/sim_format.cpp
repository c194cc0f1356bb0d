// wvsprintfA and wsprintfA of the simulated Windows: the conversions Windows' own formatter
// knows (%c %d %i %u %x %X %s, with the flags '-', '0' and '#', a width, a precision for
// strings and the size prefixes 'l' and 'h'; no floating point), at most 1023 characters plus
// the terminator. Integers are 32-bit as on Windows (a Win32 LONG or DWORD argument).
// '#' always prefixes hexadecimal with 0x or 0X, so %#X of 2 gives "0X2".
#include <stdarg.h>
#include <string.h>

#include <string>

#include "platform/sim/sim_internal.h"

namespace {

const size_t kMaxOutput = 1023;

struct Conversion {
    bool left = false, zero = false, prefix = false;
    int width = 0;
    int precision = -1;
    char type = 0;
};

const char* ParseConversion(const char* p, Conversion* conversion) {
    for (;; p++) {
        if (*p == '-')
            conversion->left = true;
        else if (*p == '0')
            conversion->zero = true;
        else if (*p == '#')
            conversion->prefix = true;
        else
            break;
    }
    while (*p >= '0' && *p <= '9') conversion->width = conversion->width * 10 + (*p++ - '0');
    if (*p == '.') {
        conversion->precision = 0;
        for (p++; *p >= '0' && *p <= '9'; p++)
            conversion->precision = conversion->precision * 10 + (*p - '0');
    }
    while (*p == 'l' || *p == 'h') p++;
    conversion->type = *p;
    return *p ? p + 1 : p;
}

std::string Pad(const std::string& sign, const std::string& digits, const Conversion& conversion) {
    int fill = conversion.width - (int)(sign.size() + digits.size());
    if (fill <= 0) return sign + digits;
    if (conversion.left) return sign + digits + std::string(fill, ' ');
    if (conversion.zero) return sign + std::string(fill, '0') + digits;
    return std::string(fill, ' ') + sign + digits;
}

std::string FormatNumber(const Conversion& conversion, va_list* args) {
    unsigned value = va_arg(*args, unsigned);
    std::string sign, digits;
    if (conversion.type == 'd' || conversion.type == 'i') {
        int32_t signedValue = (int32_t)value;
        if (signedValue < 0) sign = "-";
        digits = std::to_string(signedValue < 0 ? -(int64_t)signedValue : (int64_t)signedValue);
    } else if (conversion.type == 'u') {
        digits = std::to_string(value);
    } else {
        const char* set = conversion.type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
        do {
            digits.insert(digits.begin(), set[value & 15]);
            value >>= 4;
        } while (value);
        if (conversion.prefix) sign = conversion.type == 'X' ? "0X" : "0x";
    }
    return Pad(sign, digits, conversion);
}

std::string FormatOne(const Conversion& conversion, va_list* args) {
    switch (conversion.type) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
            return FormatNumber(conversion, args);
        case 'c':
        case 'C':
            return Pad("", std::string(1, (char)va_arg(*args, int)),
                       Conversion{conversion.left, false});
        case 's':
        case 'S': {
            const char* text = va_arg(*args, const char*);
            std::string s = text ? text : "(null)";
            if (conversion.precision >= 0 && (size_t)conversion.precision < s.size())
                s.resize(conversion.precision);
            Conversion padding = conversion;
            padding.zero = false;
            return Pad("", s, padding);
        }
        default:
            return std::string(1, conversion.type);
    }
}

}  // namespace

int WINAPI Sim_wvsprintfA(LPSTR lpOutput, LPCSTR lpFormat, va_list arglist) {
    if (!lpOutput || !lpFormat) return 0;
    std::string out;
    va_list args;
    va_copy(args, arglist);
    for (const char* p = lpFormat; *p && out.size() < kMaxOutput;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        if (p[1] == '%') {
            out += '%';
            p += 2;
            continue;
        }
        Conversion conversion;
        p = ParseConversion(p + 1, &conversion);
        if (conversion.type) {
            conversion.width =
                conversion.width > (int)kMaxOutput ? (int)kMaxOutput : conversion.width;
            out += FormatOne(conversion, &args);
        }
    }
    va_end(args);
    if (out.size() > kMaxOutput) out.resize(kMaxOutput);
    memcpy(lpOutput, out.c_str(), out.size() + 1);
    return (int)out.size();
}

int WINAPIV Sim_wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int length = Sim_wvsprintfA(buffer, format, args);
    va_end(args);
    return length;
}
