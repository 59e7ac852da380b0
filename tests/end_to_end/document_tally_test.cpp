// Attribution of delivered packets to pushed documents, and the fate of the documents nothing came
// back for, on made-up times: the agent's order of work and its busy grace decide.
#include "server/document_tally.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "commands/demo_scene.h"

namespace lumo::host {
namespace {

using namespace std::chrono_literals;
using Fate = DocumentTally::Fate;

class DocumentTallyTest : public ::testing::Test {
protected:
    // Documents at 1000, 2000, ... us, pushed at 0, 100, 200, ... ms.
    void push(int documents) {
        for (int i = 0; i < documents; ++i)
            tally.pushed(1000 * (i + 1), at(100 * i));
    }
    static DocumentTally::Clock::time_point at(int ms) {
        return DocumentTally::Clock::time_point() + std::chrono::milliseconds(ms);
    }
    DocumentTally tally;
};

TEST_F(DocumentTallyTest, SilentDocumentsAreBusyWithinTheGraceAfterTheLastDeliveryElseLost) {
    tally.pushed(1000, at(0));
    tally.pushed(2000, at(30));   // While the first is in work.
    tally.pushed(3000, at(200));  // Long after: the agent was idle.
    tally.pushed(4000, at(300));
    EXPECT_EQ(0u, tally.attribute(PacketKind::object, 1000, at(25)));
    EXPECT_EQ(0u, tally.attribute(PacketKind::event, 1000, at(26)));
    EXPECT_EQ(3u, tally.attribute(PacketKind::object, 4000, at(301)));
    EXPECT_EQ(
        (std::vector<Fate>{Fate::processed, Fate::droppedWhileBusy, Fate::lost, Fate::processed}),
        tally.fates());
}

TEST_F(DocumentTallyTest, PacketsWithoutTheirDocumentsTimeGoWhereTheAgentIsAtWork) {
    push(4);
    const struct {
        PacketKind kind;
        int64_t timestampUs;
        int arrivedMs;
        size_t document;
    } deliveries[] = {
        {PacketKind::object, 1000, 1, 0},
        // A best shot carries its track's first sighting: the document in work.
        {PacketKind::bestShot, 1000, 2, 0},
        // An object packet ending with a best shot carries the first sighting, here the first
        // document's time; the agent takes documents in order, so it opens the next one pushed.
        {PacketKind::object, 1000, 120, 1},
        {PacketKind::event, 2000, 121, 1},
        {PacketKind::bestShot, 1000, 250, 1},
        // Pushed before the last delivery of document 1: document 2 found the agent busy.
        {PacketKind::object, 999, 320, 3},
        {PacketKind::event, 77, 321, 3},
    };
    for (const auto& d : deliveries) {
        EXPECT_EQ(d.document, tally.attribute(d.kind, d.timestampUs, at(d.arrivedMs)))
            << d.timestampUs << " at " << d.arrivedMs << " ms";
    }
    EXPECT_EQ((std::vector<Fate>{Fate::processed, Fate::processed, Fate::droppedWhileBusy,
                                 Fate::processed}),
              tally.fates());
}

TEST_F(DocumentTallyTest, NothingPushedClaimsNothingAndRepeatedTimesGoToTheLatest) {
    EXPECT_EQ(DocumentTally::kNone, tally.attribute(PacketKind::object, 1000, at(0)));
    EXPECT_EQ(DocumentTally::kNone, tally.attribute(PacketKind::event, 1000, at(0)));
    tally.pushed(5000, at(0));
    tally.pushed(5000, at(10));
    EXPECT_EQ(1u, tally.attribute(PacketKind::event, 5000, at(11)));
}

TEST(DemoSceneTest, DialogFiguresWithPointsThatAreNotNumbersAreSkippedNotThrown) {
    const std::map<std::string, std::string> values = {
        {"AIX_LINE_POSITION1", R"({"figure":{"points":[[0.1,"x"],[0.2,0.3]]}})"},
        {"AIX_REGION_POSITION2", R"({"figure":{"points":[["a",0.5]]}})"},
        {"AIX_REGION_POSITION3", "not json"}};
    std::vector<ShownFigure> figures;
    ASSERT_NO_THROW(figures = shownFigures(values));
    ASSERT_EQ(2u, figures.size());
    EXPECT_EQ(1u, figures[0].points.size());
    EXPECT_TRUE(figures[1].points.empty());
}

}  // namespace
}  // namespace lumo::host
