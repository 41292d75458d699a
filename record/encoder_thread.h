#pragma once
// Encodes frames on a thread of its own while the next frame is drawn. The
// frames are encoded one at a time in the order given, so the files are the
// same as if it were done in line.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "record/image.h"

class EncoderThread {
  public:
    // encode(frame, error) is called on the thread for each frame; once it
    // returns false, no further frame is encoded.
    explicit EncoderThread(std::function<bool(const Image&, std::string&)> encode);
    EncoderThread(const EncoderThread&) = delete;
    EncoderThread& operator=(const EncoderThread&) = delete;
    // Finishes the frames handed over, as finish does.
    ~EncoderThread();

    // Hands frame over, taking its pixels and giving back a buffer to reuse;
    // waits while the frame before it is still waiting. False once encoding
    // has failed.
    bool push(Image& frame);
    // Waits until every frame handed over is encoded; false with the first
    // error otherwise.
    bool finish(std::string& error);

  private:
    void run();

    std::function<bool(const Image&, std::string&)> encode_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Image waiting_;
    bool hasWaiting_ = false;
    bool closing_ = false;
    bool failed_ = false;
    std::string error_;
    std::thread thread_;
};
