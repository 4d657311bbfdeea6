#include "RestScreenFixture.h"

#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

#include <QtTest>

RestScreenFixture::RestScreenFixture(int ATimeoutMs)
{
    m_presenter = RecordingPresenter::install();
    RestClient = new TZeltRestClient(m_server.url(), ATimeoutMs, ATimeoutMs);
    WaitDlg = new TWaitDlg;
}

RestScreenFixture::~RestScreenFixture()
{
    delete WaitDlg;
    WaitDlg = nullptr;
    delete RestClient;
    RestClient = nullptr;
    Platform::setDialogPresenter(nullptr);
}

bool RestScreenFixture::waitLoaded(int ACount, int ATimeoutMs)
{
    return m_server.waitForRequests(ACount, ATimeoutMs) && waitIdle(ATimeoutMs);
}

bool RestScreenFixture::waitIdle(int ATimeoutMs)
{
    return QTest::qWaitFor([] { return WaitDlg->ProcessCount() == 0; }, ATimeoutMs);
}
