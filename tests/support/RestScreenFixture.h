#pragma once

#include "RecordingPresenter.h"
#include "TestHttpServer.h"

// A real server on 127.0.0.1 and the globals a screen reading from it needs:
// the shared RestClient bound to the server, the wait dialog, and a
// recording presenter. Everything is put back when the fixture goes.
class RestScreenFixture
{
public:
    explicit RestScreenFixture(int ATimeoutMs = 2000);
    ~RestScreenFixture();

    RestScreenFixture(const RestScreenFixture &) = delete;
    RestScreenFixture &operator=(const RestScreenFixture &) = delete;

    TestHttpServer &server() { return m_server; }
    RecordingPresenter *presenter() const { return m_presenter; }

    // True once ACount requests have arrived and every wait dialog shown
    // for them is down again (the rows, if any, are in their table).
    bool waitLoaded(int ACount, int ATimeoutMs = 5000);
    static bool waitIdle(int ATimeoutMs = 5000);

private:
    TestHttpServer m_server;
    RecordingPresenter *m_presenter = nullptr;
};
