// Rows packed as bytes give back every value exactly as it went in, kind included, after
// rows are replaced and the dropped bytes are compacted away.
#include "maintenance/packedrows.h"

#include <gtest/gtest.h>

using db::Value;

TEST(PackedRows, EveryKindComesBackExactlyThroughReplacesAndCompaction)
{
    const std::vector<Value> kinds = {
        Value(),
        Value::integer(-9223372036854775807LL),
        Value::decimal({-99999999999999999LL, 8}),
        Value::decimal({12, 0}),
        Value::real(-0.1),
        Value::text(QString()),
        Value::text(QStringLiteral("Ácido Ascórbico 'C' € — ")),
        Value::text(QString(300, QChar(0x00e7))),   // a length past one byte
        Value::date(QDate(1858, 11, 17)),
        Value::date(QDate(2099, 12, 31)),
        Value::time(QTime(23, 59, 59, 999)),
        Value::timestamp(QDateTime(QDate(2026, 12, 11), QTime(10, 0, 0, 1))),
        Value::blob(QByteArray("\0\x01\xff", 3)),
    };
    const int n = int(kinds.size());
    maintenance::PackedRows rows(n);
    // Row r holds the kinds turned by r places.
    const auto rowOf = [&](int r) {
        std::vector<Value> v;
        for (int c = 0; c < n; ++c)
            v.push_back(kinds[size_t((c + r) % n)]);
        return v;
    };
    for (int r = 0; r < 2000; ++r)
        ASSERT_EQ(rows.append(rowOf(r).data()), r);
    // Enough replaces that most bytes are dropped ones, and compaction runs.
    for (int round = 1; round <= 3; ++round)
        for (int r = 0; r < 2000; ++r)
            rows.replace(r, rowOf(r + round).data());

    ASSERT_EQ(rows.size(), 2000);
    for (int r = 0; r < 2000; r += 7) {
        const std::vector<Value> want = rowOf(r + 3);
        std::vector<Value> got(kinds.size());
        rows.read(r, got.data());
        for (int c = 0; c < n; ++c) {
            SCOPED_TRACE(testing::Message() << "row " << r << " column " << c);
            EXPECT_EQ(got[size_t(c)].kind(), want[size_t(c)].kind());
            EXPECT_TRUE(got[size_t(c)] == want[size_t(c)]);
            EXPECT_TRUE(rows.at(r, c) == want[size_t(c)]);
        }
    }
}
