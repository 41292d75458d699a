#include "record/offscreen_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* Packages = "libegl1, libegl-mesa0 and libgl1-mesa-dri";

bool fail(std::string& error, const std::string& what) {
    error = "no usable EGL: " + what + " (Debian packages " + Packages + " provide it)";
    return false;
}

std::string eglErrorText() {
    char text[32];
    std::snprintf(text, sizeof text, "EGL error 0x%04x", static_cast<unsigned>(eglGetError()));
    return text;
}

}  // namespace

OffscreenContext::~OffscreenContext() {
    if (display_ == nullptr) {
        return;
    }
    const EGLDisplay display = display_;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != nullptr) {
        eglDestroyContext(display, context_);
    }
    if (surface_ != nullptr) {
        eglDestroySurface(display, surface_);
    }
    eglTerminate(display);
}

bool OffscreenContext::open(int width, int height, std::string& error) {
    const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (extensions == nullptr ||
        std::strstr(extensions, "EGL_MESA_platform_surfaceless") == nullptr) {
        return fail(error, "the surfaceless platform is missing");
    }
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
        return fail(error, "eglGetPlatformDisplayEXT is missing");
    }
    const EGLDisplay display =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        return fail(error, "no display (" + eglErrorText() + ")");
    }
    display_ = display;

    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_DEPTH_SIZE,
                                       24,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1) {
        return fail(error, "no OpenGL configuration with a 24-bit depth buffer");
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        return fail(error, "desktop OpenGL is not offered");
    }
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface_ = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (surface_ == EGL_NO_SURFACE) {
        surface_ = nullptr;
        std::string size = std::to_string(width) + "x" + std::to_string(height);
        return fail(error, "no " + size + " offscreen surface (" + eglErrorText() + ")");
    }
    context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context_ == EGL_NO_CONTEXT) {
        context_ = nullptr;
        return fail(error, "no OpenGL context (" + eglErrorText() + ")");
    }
    if (!eglMakeCurrent(display, surface_, surface_, context_)) {
        return fail(error, "the context cannot be made current (" + eglErrorText() + ")");
    }
    width_ = width;
    height_ = height;
    return true;
}

void OffscreenContext::readPicture(Image& image) {
    const std::size_t row = static_cast<std::size_t>(width_) * 3;
    rows_.resize(row * static_cast<std::size_t>(height_));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rows_.data());
    image.width = width_;
    image.height = height_;
    image.rgb.resize(rows_.size());
    for (std::size_t y = 0; y < static_cast<std::size_t>(height_); ++y) {
        std::memcpy(&image.rgb[y * row], &rows_[(static_cast<std::size_t>(height_) - 1 - y) * row],
                    row);
    }
}

std::string OffscreenContext::renderer() {
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return text != nullptr ? text : "an unnamed renderer";
}
