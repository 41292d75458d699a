#include "web/still_link.h"

#include <algorithm>
#include <cstdlib>

namespace {

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
    if (value.empty()) {
        return bad(error, name + " needs a value, as in key=1&frame=0&size=600x600");
    }
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
    if (name == "colour") {
        link.distance = value == "distance";
        return link.distance || value == "shading" ||
               bad(error, "colour takes shading or distance, not '" + value + "'");
    }
    if (name == "derivatives") {
        link.scaled = value == "scaled";
        return link.scaled || value == "as-drawn" ||
               bad(error, "derivatives takes as-drawn or scaled, not '" + value + "'");
    }
    const std::size_t x = value.find('x');
    return (x != std::string::npos &&
            readNumber(value.substr(0, x), MinStillSide, MaxStillSide, link.width) &&
            readNumber(value.substr(x + 1), MinStillSide, MaxStillSide, link.height)) ||
           bad(error, "size takes WIDTHxHEIGHT, each from 16 to 4096, not '" + value + "'");
}

}  // namespace

LinkKind readStillLink(const LinkParameters& parameters, StillLink& link, std::string& error) {
    link = StillLink();
    constexpr int Names = 5;
    const char* const names[Names] = {"key", "frame", "size", "colour", "derivatives"};
    bool seen[Names] = {};
    for (const auto& [name, value] : parameters) {
        int which = -1;
        for (int n = 0; n < Names; ++n) {
            which = name == names[n] ? n : which;
        }
        if (which < 0) {
            continue;  // another's parameter, such as a share's tracking tag
        }
        if (seen[which]) {
            bad(error, name + " is given twice");
            return LinkKind::Bad;
        }
        seen[which] = true;
        if (!readParameter(name, value, link, error)) {
            return LinkKind::Bad;
        }
    }
    if (std::none_of(seen, seen + Names, [](bool s) { return s; })) {
        return LinkKind::Interactive;
    }
    if (!seen[0]) {
        bad(error, "it needs a key, as in key=1&frame=0&size=600x600");
        return LinkKind::Bad;
    }
    if (link.scaled && link.key != '1') {
        // The cubic strips always scale theirs: there is no other choice.
        bad(error, "derivatives=scaled is for the Ferguson patches, key=1, only");
        return LinkKind::Bad;
    }
    return LinkKind::Still;
}
