// The threads an agent starts: two workers whatever the core count the server reports, and
// documents still converted and delivered on a worker, never on the server's thread.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "report/process_status.h"
#include "support/agent_fixture.h"

namespace lumo_test {
namespace {

using qo::vms_server_plugins::analytics::lumo::hardwareConcurrency;

int processThreads() {
    return lumo::host::readStatus().threads;
}

class AgentThreadsTest : public AgentTest {
protected:
    void TearDown() override {
        qo::sdk::eraseUnitTestOption("hardwareConcurrency");
        AgentTest::TearDown();
    }

    /** Threads a new agent adds while the server reports `cores` hardware threads. */
    int threadsOfAnAgent(const std::string& cores) {
        qo::sdk::setUnitTestOption("hardwareConcurrency", cores);
        EXPECT_EQ(std::to_string(hardwareConcurrency()), cores);
        const int before = processThreads();
        auto agent = makePtr<DeviceAgent>(makePtr<FakeDeviceInfo>().get());
        EXPECT_EQ(2u, agent->poolWorkers());
        return processThreads() - before;
    }
};

TEST_F(AgentThreadsTest, AgentStartsTwoWorkersWhateverTheServersCoreCount) {
    for (const char* cores : {"1", "2", "64", "256"})
        EXPECT_EQ(2, threadsOfAnAgent(cores)) << cores << " cores";
}

TEST_F(AgentThreadsTest, CoreCountFallsBackToTheMachinesWhenTheOptionIsNoNumber) {
    for (const char* option : {"", "many", "-4", "8x"}) {
        qo::sdk::setUnitTestOption("hardwareConcurrency", option);
        EXPECT_EQ(std::thread::hardware_concurrency(), hardwareConcurrency()) << option;
    }
}

TEST_F(AgentThreadsTest, DocumentsAreDeliveredOnAWorkerNotOnTheServersThread) {
    struct ThreadRecordingHandler : RecordingHandler {
        void handleMetadataPacket(analytics::IMetadataPacket* packet) override {
            {
                std::lock_guard<std::mutex> lock(threadMutex);
                deliveredOn = std::this_thread::get_id();
            }
            RecordingHandler::handleMetadataPacket(packet);
        }
        std::mutex threadMutex;
        std::thread::id deliveredOn;  // Guarded by threadMutex.
    };
    auto handler = makePtr<ThreadRecordingHandler>();
    m_agent->setHandler(handler.get());
    ASSERT_EQ(ErrorCode::noError, push(document(frame(kScale + person(1)))));
    ASSERT_TRUE(waitUntilReady());
    ASSERT_EQ(1u, handler->takePackets().size());
    std::lock_guard<std::mutex> lock(handler->threadMutex);
    EXPECT_NE(std::this_thread::get_id(), handler->deliveredOn);
}

}  // namespace
}  // namespace lumo_test
