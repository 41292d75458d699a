#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "app/console.h"
#include "app/globals.h"

namespace {

// Runs readMenuKey with standard input fed from a pipe holding text, and
// returns the key and what was left unread.
std::pair<int, std::string> readFrom(const std::string& text, bool close) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    if (close) {
        ::close(fds[1]);
    }
    const int savedStdin = dup(STDIN_FILENO);
    dup2(fds[0], STDIN_FILENO);
    const int key = readMenuKey();
    std::string rest;
    if (!close) {
        ::close(fds[1]);
    }
    char buffer[64];
    ssize_t got = 0;
    while ((got = read(STDIN_FILENO, buffer, sizeof buffer)) > 0) {
        rest.append(buffer, static_cast<std::size_t>(got));
    }
    dup2(savedStdin, STDIN_FILENO);
    ::close(savedStdin);
    ::close(fds[0]);
    return {key, rest};
}

}  // namespace

TEST(Console, ReadsExactlyOneByteFromAPipe) {
    EXPECT_EQ(readFrom("12\n", false), std::make_pair(static_cast<int>('1'), std::string("2\n")));
    EXPECT_EQ(readFrom("\xe0x", true), std::make_pair(0xe0, std::string("x")));
    EXPECT_EQ(readFrom("", true).first, -1);
}

TEST(Console, OnlyTheDigitOneSelectsFergusonMode) {
    applyMenuChoice('1');
    EXPECT_EQ(patchMode, 0);
    EXPECT_EQ(sectionStepDeg, 72);
    EXPECT_EQ(curveStepDeg, 4);
    EXPECT_EQ(orbitStepDeg, 10.0);
    for (const int key : std::initializer_list<int>{'2', 'x', '\n', 27, 0xe0, -1}) {
        orbitStepDeg = 5.0;
        applyMenuChoice(key);
        EXPECT_EQ(patchMode, 1) << key;
        EXPECT_EQ(sectionStepDeg, 8);
        EXPECT_EQ(curveStepDeg, 4);
        EXPECT_EQ(orbitStepDeg, 10.0);
    }
}
