// A decode stream over the compression manager the platform binds, closed with the test: the fixture the decode
// suites share.
#pragma once

#include <string>

#include "platform/system_library_binding.h"
#include "stream/decode_stream.h"
#include "support/render_session.h"

class DecodeSession : public RenderSession {
  protected:
    void SetUp() override {
        RenderSession::SetUp();
        ASSERT_TRUE(BindAcmLibrary());
    }
    void TearDown() override {
        DecodeStreamClose(stream);
        UnbindAcmLibrary();
        RenderSession::TearDown();
    }
    // Opens `path` with conversions of `ms`; a stream open before is the test's to close.
    void Open(const std::string& path, DWORD ms) {
        ASSERT_NE(stream = DecodeStreamOpen(path.c_str(), ms, &format), nullptr);
    }

    DecodeStream* stream = nullptr;
    WAVEFORMATEX format = {};
};
