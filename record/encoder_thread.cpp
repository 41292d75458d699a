#include "record/encoder_thread.h"

#include <utility>

EncoderThread::EncoderThread(std::function<bool(const Image&, std::string&)> encode)
    : encode_(std::move(encode)), thread_([this] { run(); }) {}

EncoderThread::~EncoderThread() {
    std::string ignored;
    finish(ignored);
}

bool EncoderThread::push(Image& frame) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !hasWaiting_ || failed_; });
    if (failed_) {
        return false;
    }
    std::swap(waiting_, frame);
    hasWaiting_ = true;
    changed_.notify_all();
    return true;
}

bool EncoderThread::finish(std::string& error) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        closing_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (failed_) {
        error = error_;
    }
    return !failed_;
}

void EncoderThread::run() {
    Image working;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return hasWaiting_ || closing_; });
        if (!hasWaiting_ || failed_) {
            return;
        }
        std::swap(working, waiting_);
        hasWaiting_ = false;
        changed_.notify_all();
        lock.unlock();
        std::string error;
        const bool encoded = encode_(working, error);
        lock.lock();
        if (!encoded) {
            failed_ = true;
            error_ = error;
            changed_.notify_all();
        }
    }
}
