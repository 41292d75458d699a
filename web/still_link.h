#pragma once
// The page's address for one still frame:
// ?key=K&frame=N&size=WxH&colour=shading|distance&derivatives=as-drawn|scaled.

#include <string>
#include <utility>
#include <vector>

struct StillLink {
    int key = -1;     // the menu key, as its byte
    int frame = 0;    // frame N: drawn after N idle steps
    int width = 600;  // the picture's size in image pixels
    int height = 600;
    bool distance = false;  // colour=distance: the distance colouring
    bool scaled = false;    // derivatives=scaled: key 1's scaled derivatives
};

enum class LinkKind { Interactive, Still, Bad };

constexpr int MaxStillFrame = 3599;
constexpr int MinStillSide = 16;
constexpr int MaxStillSide = 4096;

// The address's query as the browser splits and decodes it: name and value
// pairs in order (a name without '=' has the empty value).
using LinkParameters = std::vector<std::pair<std::string, std::string>>;

// Reads the page's parameters. Names other than key, frame, size, colour and
// derivatives are ignored (sharing adds its own), and none of the five is
// the interactive page. Otherwise key (one character, the menu's rule: "1"
// Ferguson patches, any other the cubic strips) is required, frame (0 to
// 3599, default 0), size (WxH, each side 16 to 4096, default 600x600),
// colour (shading or distance) and derivatives (as-drawn or scaled, the
// latter with key 1 only) may follow, each at most once. Anything else is
// Bad, with one line saying why in error.
LinkKind readStillLink(const LinkParameters& parameters, StillLink& link, std::string& error);
