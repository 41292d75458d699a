#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/console.h"
#include "app/idle.h"
#include "app/window.h"
#include "display/cubic_display.h"
#include "display/ferguson_display.h"
#include "gl_stand_in.h"
#include "surface_fixture.h"

TEST(Window, OpensInOrderForEachModeFollowsResizesAndKeys) {
    char name[] = "patchview";
    char* argv[] = {name, nullptr};
    for (const int key : {'1', '2'}) {
        applyMenuChoice(key);
        gl = GlStandIn();
        initWindow(1, argv);
        EXPECT_EQ(gl.text,
                  "glutInit(1) glutInitDisplayMode(18) glutInitWindowSize(600,600) "
                  "glutInitWindowPosition(100,100) glutCreateWindow() glutReshapeFunc() "
                  "glutIdleFunc() glutDisplayFunc() glutKeyboardFunc() glDepthFunc(515) "
                  "glEnable(2929)");
        EXPECT_EQ(gl.title, key == '1' ? "Ferguson Patches" : "Cubic Patches");
        EXPECT_TRUE(gl.display == (key == '1' ? displayFerguson : displayCubic) &&
                    gl.reshape == handleReshape && gl.idle == handleIdle &&
                    gl.keyboard == handleKeyboard);
    }
    const std::string projection = " glMatrixMode(5889) glLoadIdentity() gluPerspective(60,";
    const std::string view = ",1,700) glMatrixMode(5888) glLoadIdentity()";
    const std::pair<int, std::string> heights[] = {
        {400, "glViewport(0,0,800,400)" + projection + "2" + view},
        {700, "glViewport(0,0,800,700)" + projection + "1.1428571428571428" + view},
        // No aspect: the projection stays as it was.
        {0, "glViewport(0,0,800,0)"}};
    for (const auto& [height, calls] : heights) {
        gl = GlStandIn();
        handleReshape(800, height);
        EXPECT_EQ(gl.text, calls);
    }
    // Any key but Escape only redraws; Escape ends the program with status 0.
    gl = GlStandIn();
    EXPECT_EXIT((handleKeyboard('a', 0, 0), std::exit(gl.text == "glutPostRedisplay()" ? 3 : 4)),
                testing::ExitedWithCode(3), "");
    EXPECT_EXIT(handleKeyboard(27, 0, 0), testing::ExitedWithCode(0), "");
}

TEST(Console, OneByteIsReadAndOnlyTheDigitOneChoosesFerguson) {
    // Standard input from a file: the key, then what is left unread.
    const auto readFrom = [](const char* text) {
        std::FILE* in = std::tmpfile();
        std::fputs(text, in);
        std::rewind(in);
        const int saved = dup(STDIN_FILENO);
        dup2(fileno(in), STDIN_FILENO);
        const int key = readMenuKey();
        char rest[8] = {};
        const ssize_t left = read(STDIN_FILENO, rest, sizeof rest);
        dup2(saved, STDIN_FILENO);
        close(saved);
        std::fclose(in);
        return std::to_string(key) + " " + std::string(rest, left > 0 ? left : 0);
    };
    EXPECT_EQ(readFrom("12\n"), "49 2\n");
    EXPECT_EQ(readFrom("\xe0x"), "224 x");
    EXPECT_EQ(readFrom(""), "-1 ");
    for (const int key : {int{'1'}, int{'2'}, int{'x'}, int{'\n'}, 27, 0xe0, -1}) {
        orbitStepDeg = 5.0;
        applyMenuChoice(key);
        EXPECT_TRUE(patchMode == (key == '1' ? 0 : 1) && sectionStepDeg == (key == '1' ? 72 : 8) &&
                    curveStepDeg == 4 && orbitStepDeg == 10.0)
            << key;
    }
}

// One step asks for a redraw (the frame tests pin what it moves). Ten
// thousand steps must not carry the eye off its orbit, the phase off its
// cycle (wraps at step 16, then every 46) or the facing data to infinity (a
// value that is not finite would spread along its spline lines to every twist).
TEST(LongRun, OneIdleStepThenTenThousand) {
    startUp(72);
    gl = GlStandIn();
    handleIdle();
    EXPECT_EQ(gl.text, "glutPostRedisplay()");
    double drift = 0.0;
    int missedWraps = 0, notFinite = 0;
    for (int n = 2; n <= 10000; ++n) {
        advanceAnimation();
        drift =
            std::fmax(drift, std::fabs(std::hypot(eyePos.x, eyePos.z) - 5.0) + std::fabs(eyePos.y));
        missedWraps += n >= 16 && (n - 16) % 46 == 0 && animPhase != 0.0f;
        notFinite += !std::isfinite(twists[n % lastRow][n % lastCol].facing);
    }
    std::printf("eye drift after 10000 steps: %.3g\n", drift);
    EXPECT_LT(drift, 1e-9);
    EXPECT_EQ(missedWraps + notFinite, 0);
}
