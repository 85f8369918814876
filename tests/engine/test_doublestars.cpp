// The double-star list: separator choice, quoting, CR LF, round trips, and a
// failed save that keeps the old file.
#include "engine/doublestars.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using qm::DoubleStarRow;
using qmtest::TempDir;

using qmtest::Slurp;

TEST(DoubleStarList, SeparatorIsTheOneBothFirstLinesAgreeOn)
{
    EXPECT_EQ(qm::DetectSeparator("a,1,2,3,4", "b,5,6,7,8"), ',');
    EXPECT_EQ(qm::DetectSeparator("a;1;2,5;3;4", "b;5;6,1;7;8"), ';');   // ";" 4 times beats "," once
    EXPECT_EQ(qm::DetectSeparator("a|1|2|3|4", "b|5|6|7|8"), '|');
    EXPECT_EQ(qm::DetectSeparator("a\t1\t2\t3\t4", "b\t5\t6\t7\t8"), '\t');
    // Equal counts: the earlier candidate stays.
    EXPECT_EQ(qm::DetectSeparator("a,b;c", "d,e;f"), ',');
    EXPECT_EQ(qm::DetectSeparator("a,1,2,3,4", ""), 0);   // one line: no agreement
    EXPECT_EQ(qm::DetectSeparator("a,1,2", "b,1,2,3"), 0);
}

TEST(DoubleStarList, QuotedFieldsAndCrLfRoundTrip)
{
    const std::vector<DoubleStarRow> rows = {
        {"Albireo", "3.1", "5.1", "34.7", "54"},
        {"eps; Lyr", "5.0", "6.1", "2.2", "347"},
        {"", "1", "2", "3", "4"},
        {"two\nlines", "1", "1", "0.5", "0"},
    };
    for (char sep : {',', ';', '#', '\t', '|'}) {
        const std::string text = qm::FormatDoubleStars(rows, sep);
        EXPECT_EQ(qm::ParseDoubleStars(text, sep), rows) << int(sep);
        EXPECT_EQ(text.find("\r\n"), text.find('\r'));
    }
    const std::string comma = qm::FormatDoubleStars(rows, ',');
    EXPECT_EQ(comma.substr(0, 29), "Albireo,3.1,5.1,34.7,54\r\neps;");
    EXPECT_NE(comma.find("\r\n\"\",1,2,3,4\r\n"), std::string::npos);   // empty name
    EXPECT_NE(qm::FormatDoubleStars(rows, ';').find("\"eps; Lyr\""), std::string::npos);

    // Missing fields are empty, extra ones ignored; a quoted separator stays.
    const auto parsed = qm::ParseDoubleStars("a,1\r\n\"x,y\",2,3,4,5,6,7\n", ',');
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0], (DoubleStarRow{"a", "1", "", "", ""}));
    EXPECT_EQ(parsed[1], (DoubleStarRow{"x,y", "2", "3", "4", "5"}));
    EXPECT_EQ(qm::DoubleStarNumber("2.5"), 2.5);
    EXPECT_EQ(qm::DoubleStarNumber("2,5"), 0.0);
    EXPECT_EQ(qm::DoubleStarNumber("Nr"), 0.0);
}

TEST(DoubleStarList, LoadChoosesTheSeparatorOnceAndSaveKeepsIt)
{
    TempDir dir;
    const std::string semi = dir.write("semi.csv", "A;1;2;3;4\r\nB;5;6;7;8\r\nC;1;1;1;1\r\n");
    char separator = 0;
    std::vector<DoubleStarRow> rows;
    ASSERT_TRUE(qm::LoadDoubleStars(semi, separator, rows));
    EXPECT_EQ(separator, ';');
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2], (DoubleStarRow{"C", "1", "1", "1", "1"}));
    ASSERT_TRUE(qm::SaveDoubleStars(dir.file("out.csv"), rows, separator));
    EXPECT_EQ(Slurp(dir.file("out.csv")), "A;1;2;3;4\r\nB;5;6;7;8\r\nC;1;1;1;1\r\n");

    // The choice stays for the rest of the run: a comma file is read with ";".
    const std::string comma = dir.write("comma.csv", "A,1,2,3,4\nB,5,6,7,8\n");
    ASSERT_TRUE(qm::LoadDoubleStars(comma, separator, rows));
    EXPECT_EQ(separator, ';');
    EXPECT_EQ(rows[0][0], "A,1,2,3,4");

    // Unreadable files keep the rows and say so.
    rows = {{"keep", "1", "2", "3", "4"}};
    char fresh = 0;
    qm::Status st = qm::LoadDoubleStars(dir.file("missing.csv"), fresh, rows);
    EXPECT_FALSE(st);
    EXPECT_EQ(st.message, "Cannot open file " + dir.file("missing.csv"));
    EXPECT_FALSE(qm::LoadDoubleStars(dir.path().string(), fresh, rows));
    EXPECT_FALSE(qm::LoadDoubleStars("/dev/zero", fresh, rows));
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(fresh, 0);
}

TEST(DoubleStarList, AFailedSaveKeepsTheOldFile)
{
    TempDir dir;
    const std::string old = dir.write("list.csv", "Old,1,2,3,4\r\n");
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const bool readOnly = !std::ofstream(dir.file("probe"));   // root may write anyway
    const qm::Status st = qm::SaveDoubleStars(old, {{"New", "1", "2", "3", "4"}}, ',');
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    if (readOnly) {
        EXPECT_FALSE(st);
        EXPECT_EQ(st.message, "Cannot create file " + old);
        EXPECT_EQ(Slurp(old), "Old,1,2,3,4\r\n");
    }
    const qm::Status bad = qm::SaveDoubleStars(dir.file("nodir/x.csv"), {}, ',');
    EXPECT_FALSE(bad);
    EXPECT_EQ(bad.message, "Cannot create file " + dir.file("nodir/x.csv"));
    EXPECT_FALSE(qm::SaveDoubleStars("/dev/full", {{"a", "1", "2", "3", "4"}}, ','));
}

} // namespace
