#include "web/still_link.h"

#include <cstdlib>

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Undoes the form encoding of a value: %XX and '+' for a blank.
bool decode(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '+') {
            out += ' ';
        } else if (text[k] != '%') {
            out += text[k];
        } else {
            if (k + 2 >= text.size()) {
                return false;
            }
            const int high = hexDigit(text[k + 1]);
            const int low = hexDigit(text[k + 2]);
            if (high < 0 || low < 0) {
                return false;
            }
            out += static_cast<char>(high * 16 + low);
            k += 2;
        }
    }
    return true;
}

// A whole number from min to max, digits only.
bool readNumber(const std::string& text, int min, int max, int& value) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::atoi(text.c_str());
    return value >= min && value <= max;
}

bool bad(std::string& error, const std::string& why) {
    error = "This link cannot be drawn: " + why + ".";
    return false;
}

bool readParameter(const std::string& name, const std::string& value, StillLink& link,
                   std::string& error) {
    if (name == "key") {
        if (value.size() != 1) {
            return bad(error,
                       "key takes one character, as the menu does (1: Ferguson patches, "
                       "any other: cubic strips), not '" +
                           value + "'");
        }
        link.key = static_cast<unsigned char>(value[0]);
        return true;
    }
    if (name == "frame") {
        return readNumber(value, 0, MaxStillFrame, link.frame) ||
               bad(error, "frame takes a whole number from 0 to 3599, not '" + value + "'");
    }
    const std::size_t x = value.find('x');
    return (x != std::string::npos &&
            readNumber(value.substr(0, x), MinStillSide, MaxStillSide, link.width) &&
            readNumber(value.substr(x + 1), MinStillSide, MaxStillSide, link.height)) ||
           bad(error, "size takes WIDTHxHEIGHT, each from 16 to 4096, not '" + value + "'");
}

}  // namespace

LinkKind parseStillLink(const std::string& query, StillLink& link, std::string& error) {
    link = StillLink();
    if (query.empty()) {
        return LinkKind::Interactive;
    }
    bool seen[3] = {false, false, false};
    const char* const names[3] = {"key", "frame", "size"};
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string::npos) {
            end = query.size();
        }
        const std::string item = query.substr(start, end - start);
        start = end + 1;
        if (item.empty()) {
            continue;  // as in "key=1&"
        }
        const std::size_t equals = item.find('=');
        const std::string name = item.substr(0, equals);
        int which = -1;
        for (int n = 0; n < 3; ++n) {
            which = name == names[n] ? n : which;
        }
        if (which < 0) {
            bad(error, "it knows key, frame and size, not '" + name + "'");
            return LinkKind::Bad;
        }
        if (seen[which]) {
            bad(error, name + " is given twice");
            return LinkKind::Bad;
        }
        seen[which] = true;
        std::string value;
        if (equals == std::string::npos || !decode(item.substr(equals + 1), value)) {
            bad(error, name + " needs a value, as in key=1&frame=0&size=600x600");
            return LinkKind::Bad;
        }
        if (!readParameter(name, value, link, error)) {
            return LinkKind::Bad;
        }
    }
    if (!seen[0]) {
        bad(error, "it needs a key, as in key=1&frame=0&size=600x600");
        return LinkKind::Bad;
    }
    return LinkKind::Still;
}
