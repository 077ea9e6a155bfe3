#include <gtest/gtest.h>

#include "fixtures/TestEnv.h"
#include "transfer/FlowOrder.h"

namespace {

// Each file is read once, yet a flow file changed during the run counts when its flow comes up.
TEST(FlowOrder, ReadsEachFileOnceAndSeesAChangedFileBeforeItsFlowStarts) {
    TTempProgramDir dir;
    dir.WriteFile("Files/A.INI", "[DEPENDENT]\r\nB=B\r\n");
    dir.WriteFile("Files/B.INI", "[DATA]\r\nNAME=B\r\n");
    dir.WriteFile("Files/C.INI", "[DATA]\r\nNAME=C\r\n");
    TFlowOrder order;
    QStringList done;
    QString next;
    ASSERT_TRUE(order.NextFlow({"A", "B", "C"}, done, next));
    EXPECT_EQ(next, "B");
    done << next;
    // A now depends on C as well, in place (no rename), before A was chosen.
    dir.WriteFile("Files/A.INI", "[DEPENDENT]\r\nB=B\r\nC=C\r\n");
    ASSERT_TRUE(order.NextFlow({"A", "B", "C"}, done, next));
    EXPECT_EQ(next, "C");
    done << next;
    ASSERT_TRUE(order.NextFlow({"A", "B", "C"}, done, next));
    EXPECT_EQ(next, "A");
    done << next;
    EXPECT_FALSE(order.NextFlow({"A", "B", "C"}, done, next));

    // A waiting flow whose file drops its dependency in place runs at the next search.
    dir.WriteFile("Files/D.INI", "[DEPENDENT]\r\nE=E\r\n");
    dir.WriteFile("Files/E.INI", "[DEPENDENT]\r\nD=D\r\n");
    EXPECT_FALSE(order.NextFlow({"D", "E"}, done, next));
    dir.WriteFile("Files/D.INI", "[DATA]\r\nNAME=D\r\n"); // rewritten in place
    ASSERT_TRUE(order.NextFlow({"D", "E"}, done, next));
    EXPECT_EQ(next, "D");
}

} // namespace
