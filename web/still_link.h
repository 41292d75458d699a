#pragma once
// The page's address for one still frame: ?key=K&frame=N&size=WxH.

#include <string>

struct StillLink {
    int key = -1;     // the menu key, as its byte
    int frame = 0;    // frame N: drawn after N idle steps
    int width = 600;  // the window's size
    int height = 600;
};

enum class LinkKind { Interactive, Still, Bad };

constexpr int MaxStillFrame = 3599;
constexpr int MinStillSide = 16;
constexpr int MaxStillSide = 4096;

// Reads the query of the page's address, without its '?'. No query at all
// is the interactive page. Otherwise key (one character, the menu's rule:
// "1" Ferguson patches, any other the cubic strips) is required, frame
// (0 to 3599, default 0) and size (WxH, each side 16 to 4096, default
// 600x600) may follow, each once; values may be percent-encoded. Anything
// else is Bad, with one line saying why in error.
LinkKind parseStillLink(const std::string& query, StillLink& link, std::string& error);
