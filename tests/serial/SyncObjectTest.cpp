#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "serial/Rendezvous.h"
#include "serial/SyncObject.h"
#include "support/ZevException.h"

using ZEV::CRendezvous;
using ZEV::CSyncEvent;
using ZEV::CSyncSection;
using ZEV::CSyncSemaphore;

namespace {

// One Exchange on its own thread; the result is read after Join.
class CExchanger {
public:
    CExchanger(CRendezvous& meeting, BYTE byValue)
        : m_byValue(byValue), m_thread([this, &meeting, byValue] {
              m_byResult = meeting.Exchange(byValue);
              m_bDone = true;
          })
    {
    }
    ~CExchanger()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    void Join() { m_thread.join(); }
    bool IsDone() const { return m_bDone; }
    BYTE Result() const { return m_byResult; }
    BYTE Value() const { return m_byValue; }

private:
    BYTE m_byValue;
    volatile bool m_bDone = false;
    volatile BYTE m_byResult = 0;
    std::thread m_thread;
};

int CountDone(const std::vector<CExchanger*>& exchangers)
{
    int n = 0;
    for (CExchanger* p : exchangers)
        n += p->IsDone() ? 1 : 0;
    return n;
}

} // namespace

TEST(RendezvousTest, ThirdCallerWaitsForAPartnerOfItsOwn)
{
    CRendezvous meeting;
    CExchanger a(meeting, 1);
    CExchanger b(meeting, 2);
    CExchanger c(meeting, 3);
    std::vector<CExchanger*> all = {&a, &b, &c};
    DWORD dwStart = GetTickCount();
    while (CountDone(all) < 2 && GetTickCount() - dwStart < 5000)
        Sleep(5);
    Sleep(200);
    ASSERT_EQ(2, CountDone(all));

    // The two that met got each other's value; the third still waits.
    std::vector<CExchanger*> done;
    CExchanger* pLeft = nullptr;
    for (CExchanger* p : all) {
        if (p->IsDone())
            done.push_back(p);
        else
            pLeft = p;
    }
    EXPECT_EQ(done[0]->Value(), done[1]->Result());
    EXPECT_EQ(done[1]->Value(), done[0]->Result());

    BYTE byGot = meeting.Exchange(4);
    pLeft->Join();
    EXPECT_EQ(4, pLeft->Result());
    EXPECT_EQ(pLeft->Value(), byGot);
}

TEST(RendezvousTest, ManyCallersAlwaysPairUp)
{
    // Rounds of four at once: whoever meets, each must get the value of the
    // one partner that got its own.
    CRendezvous meeting;
    for (int nRound = 0; nRound < 100; ++nRound) {
        BYTE byBase = static_cast<BYTE>((nRound * 4) & 0xFF);
        CExchanger a(meeting, byBase + 0);
        CExchanger b(meeting, byBase + 1);
        CExchanger c(meeting, byBase + 2);
        CExchanger d(meeting, byBase + 3);
        CExchanger* all[] = {&a, &b, &c, &d};
        for (CExchanger* p : all)
            p->Join();
        for (int i = 0; i < 4; ++i) {
            int nPartner = all[i]->Result() - byBase;
            ASSERT_GE(nPartner, 0) << "round " << nRound;
            ASSERT_LT(nPartner, 4) << "round " << nRound;
            ASSERT_NE(i, nPartner) << "round " << nRound;
            ASSERT_EQ(byBase + i, all[nPartner]->Result()) << "round " << nRound;
        }
    }
}

TEST(SyncSectionTest, LockWithZeroTimeoutStillWaitsForTheOwner)
{
    CSyncSection section;
    volatile bool bReleased = false;
    volatile bool bHeld = false;
    std::thread owner([&] {
        section.Lock(INFINITE);
        bHeld = true;
        Sleep(200);
        bReleased = true;
        section.Unlock();
    });
    while (!bHeld)
        Sleep(1);

    EXPECT_TRUE(section.Lock(0));
    EXPECT_TRUE(bReleased);
    section.Unlock();
    owner.join();
}

TEST(SyncObjectTest, RefusedCreationThrowsInvalidParam)
{
    // A maximum count of 0 is refused by the system.
    try {
        CSyncSemaphore semaphore(nullptr, 0);
        FAIL() << "no exception";
    } catch (const ZEV::CInvalidParamException& e) {
        EXPECT_STREQ("パラメータが不正です。", e.GetString());
    }
    // So is an event under a name a semaphore already has.
    std::string strName = "TaplinarTestClash" + std::to_string(GetCurrentProcessId());
    CSyncSemaphore semaphore(strName.c_str(), 1);
    EXPECT_THROW(CSyncEvent(true, false, strName.c_str()), ZEV::CInvalidParamException);
}
