#include <gtest/gtest.h>

#include "fixtures/Printers.h"
#include "fixtures/TestEnv.h"
#include "transfer/InsertBatch.h"

namespace {

TEST(InsertBatch, SettingCapAndStatement) {
    TTempProgramDir dir;
    const struct {
        const char* ini;
        int rows;
        bool problem;
    } settings[] = {
        {"", 1, false},
        {"[GENERAL]\r\nBATCH_ROWS=500\r\n", 500, false},
        {"[GENERAL]\r\nBATCH_ROWS= 20 \r\n", 20, false},
        {"[GENERAL]\r\nBATCH_ROWS=0\r\n", 1, true},
        {"[GENERAL]\r\nBATCH_ROWS=-3\r\n", 1, true},
        {"[GENERAL]\r\nBATCH_ROWS=1.5\r\n", 1, true},
        {"[GENERAL]\r\nBATCH_ROWS=many\r\n", 1, true},
    };
    for (const auto& s : settings) {
        dir.WriteFile("TransferSettings.ini", s.ini);
        int rows = 7;
        const QString problem = ReadBatchRows(dir.FilePath("TransferSettings.ini"), rows);
        EXPECT_EQ(rows, s.rows) << s.ini;
        EXPECT_EQ(!problem.isEmpty(), s.problem) << s.ini;
        if (s.problem) {
            EXPECT_TRUE(problem.startsWith("TransferSettings.ini: BATCH_ROWS=")) << problem.toStdString();
        }
    }

    EXPECT_EQ(BatchRowCap(5000, TEngineKind::SqlServer), 1000);
    EXPECT_EQ(BatchRowCap(5000, TEngineKind::PostgreSQL), 5000);
    EXPECT_EQ(BatchRowCap(0, TEngineKind::MariaDB), 1);

    // The value line of an unquoted last value ends with a blank, which the comma replaces.
    const std::vector<QStringList> rows{{"Insert into T ", "   (A, B)", "values ", "(1, 'x')"},
                                        {"Insert into T ", "   (A, B)", "values ", "(2, 3) "},
                                        {"Insert into T ", "   (A, B)", "values ", "(4, 'y')"}};
    EXPECT_EQ(BatchStatement(rows, 1, 2), rows[1]);
    EXPECT_EQ(BatchStatement(rows, 0, 3),
              QStringList({"Insert into T ", "   (A, B)", "values ", "(1, 'x'),", "(2, 3),", "(4, 'y')"}));
}

} // namespace
