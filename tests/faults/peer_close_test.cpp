// The device closes after any byte, read whole or in pieces: what arrived is logged exactly,
// reported once, decoded only when complete.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fault_support.h"

TEST(FaultPeerClose, EveryCutOfAConversation) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> messages = {
        {SubscribeAnswer("http://127.0.0.1:9/S1"), {}},
        {EventMessage(FaceMatchBody(ToBase64("face-snap"))), {"face-snap"}},
        {EventMessage(TargetsBody("PEA", ToBase64("src"), {ToBase64("t1"), ToBase64("t22")}, "2")),
         {"src", "t1", "t22"}},
    };
    std::string stream;
    for (const auto& message : messages) {
        stream += message.first;
    }
    for (std::size_t cut = 0; cut <= stream.size() && !HasFailure(); ++cut) {
        for (const std::size_t piece : {std::size_t{0}, 1 + cut % 17}) {
            SCOPED_TRACE("cut after " + std::to_string(cut) + ", pieces of " +
                         std::to_string(piece));
            TempFolder folder;
            const DrivenRun run = DriveReceiveLoop(folder.Path(), stream.substr(0, cut), piece);
            ASSERT_EQ(run.bytesRead, cut);
            EXPECT_EQ(run.log, stream.substr(0, cut));
            std::size_t start = 0, index = 0;
            for (; index < messages.size() && start < cut; ++index) {
                const auto& [bytes, pictures] = messages[index];
                ASSERT_LT(index, run.reports.size());
                const MessageReport& report = run.reports[index];
                const bool whole = start + bytes.size() <= cut;
                EXPECT_EQ(report.complete, whole);
                EXPECT_EQ(report.length, whole ? bytes.size() : cut - start);
                EXPECT_EQ(report.decoded, whole && !pictures.empty());
                ASSERT_EQ(report.pictures.size(), whole ? pictures.size() : 0u);
                for (std::size_t i = 0; i < report.pictures.size(); ++i) {
                    EXPECT_EQ(ReadFile(report.pictures[i]), pictures[i]);
                }
                start += bytes.size();
            }
            EXPECT_EQ(run.reports.size(), index);
            EXPECT_EQ(run.serverAddress,
                      cut >= messages[0].first.size() ? "http://127.0.0.1:9/S1" : "");
        }
    }
}
