// The formats we write ourselves, against byte sequences Wine is known to accept.
#include "product_layout.h"
#include "property_set.h"
#include "sample_packages.h"
#include "sample_reading.h"
#include "stream_name.h"
#include "string_pool.h"
#include "table_stream.h"

#include <gtest/gtest.h>

using namespace corvath::patchkit;
namespace lay = corvath::patchkit::layout;

TEST(StreamName, MatchesTheInstallersEncoding) {
    struct Row {
        const char* name;
        StreamKind kind;
        std::u16string expected;
    };
    const Row rows[] = {
        {"_StringPool", StreamKind::Table, u"\x4840\x3F3F\x4577\x446C\x3E6A\x44B2\x482F"},
        {"Property", StreamKind::Table, u"\x4840\x4559\x44F2\x4568\x4737"},
        {"File", StreamKind::Table, u"\x4840\x430F\x422F"},
        {"PATCH_CAB", StreamKind::Stream, u"\x3A99\x3B1D\x47D1\x3A8C\x480B"},
        // Characters outside [0-9A-Za-z._] are kept and break the pairing.
        {"a-b", StreamKind::Stream, u"\x4824-\x4825"},
        {"", StreamKind::Table, u"\x4840"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(encode_stream_name(row.name, row.kind), row.expected) << row.name;
}

TEST(StringPool, CountsReferencesAndSkipsNull) {
    StringPool pool;
    EXPECT_EQ(pool.reference("ProductVersion"), 1);
    EXPECT_EQ(pool.reference("8.2.0.5"), 2);
    EXPECT_EQ(pool.reference("8.2.0.5"), 2);
    EXPECT_FALSE(pool.reference(""));
    EXPECT_EQ(pool.pool_stream(), (Bytes{0, 0, 0, 0, 14, 0, 1, 0, 7, 0, 2, 0}));
    const Bytes data = pool.data_stream();
    EXPECT_EQ(std::string(data.begin(), data.end()), "ProductVersion8.2.0.5");
}

TEST(TableRows, EncodeLikeTheTransformsWineApplied) {
    StringPool pool;
    pool.reference("ProductVersion");
    pool.reference("8.2.0.5");
    pool.reference("corvath.txt");

    Bytes property;
    ASSERT_TRUE(
        encode_row(lay::property_columns,
                   {RowChange::Kind::Update,
                    {CellValue{std::string("ProductVersion")}, CellValue{std::string("8.2.0.5")}}},
                   pool, property));
    EXPECT_EQ(property, (Bytes{0x02, 0x00, 0x01, 0x00, 0x02, 0x00}));

    Bytes file_size;
    ASSERT_TRUE(encode_row(
        lay::file_columns,
        {RowChange::Kind::Update,
         {CellValue{std::string("corvath.txt")}, std::nullopt, std::nullopt,
          CellValue{std::int32_t{65}}, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
        pool, file_size));
    EXPECT_EQ(file_size, (Bytes{0x08, 0x00, 0x03, 0x00, 0x41, 0x00, 0x00, 0x80}));

    StringPool patch_pool;
    Bytes media;
    ASSERT_TRUE(encode_row(lay::media_columns,
                           {RowChange::Kind::Insert,
                            {CellValue{std::int32_t{2}}, CellValue{std::int32_t{2}}, CellValue{},
                             CellValue{std::string("#PATCH_CAB")}, CellValue{},
                             CellValue{std::string("PATCHMediaSrcProp")}}},
                           patch_pool, media));
    EXPECT_EQ(media, (Bytes{0x01, 0x06, 0x02, 0x80, 0x02, 0x00, 0x00, 0x80, 0x00, 0x00, 0x01, 0x00,
                            0x00, 0x00, 0x02, 0x00}));

    patch_pool.reference("corvath.txt");
    Bytes attributes;
    ASSERT_TRUE(encode_row(
        lay::file_columns,
        {RowChange::Kind::Update,
         {CellValue{std::string("corvath.txt")}, std::nullopt, std::nullopt, std::nullopt,
          std::nullopt, std::nullopt, CellValue{std::int32_t{0x1200}}, CellValue{std::int32_t{2}}}},
        patch_pool, attributes));
    EXPECT_EQ(attributes, (Bytes{0xC0, 0x00, 0x03, 0x00, 0x00, 0x92, 0x02, 0x00, 0x00, 0x80}));
}

TEST(TableRows, RefuseRowsThatWouldBeMisread) {
    StringPool pool;
    Bytes out;
    // Changes nothing: mask 0 would read as a delete.
    EXPECT_FALSE(encode_row(lay::property_columns,
                            {RowChange::Kind::Update, {CellValue{std::string("A")}, std::nullopt}},
                            pool, out));
    // A NULL key.
    EXPECT_FALSE(encode_row(lay::property_columns,
                            {RowChange::Kind::Update, {CellValue{}, CellValue{std::string("v")}}},
                            pool, out));
    // Too few cells.
    EXPECT_FALSE(encode_row(lay::file_columns,
                            {RowChange::Kind::Update, {CellValue{std::string("A")}}}, pool, out));
    // Outside a 16-bit column.
    EXPECT_FALSE(encode_row(lay::media_columns,
                            {RowChange::Kind::Insert,
                             {CellValue{std::int32_t{40000}}, CellValue{std::int32_t{1}},
                              CellValue{}, CellValue{}, CellValue{}, CellValue{}}},
                            pool, out));
    EXPECT_TRUE(out.empty());
}

TEST(SummaryInformation, RoundTripsThroughAnIndependentReader) {
    const std::string long_text(10000, 'x');
    const auto bytes = write_summary_information(
        {{7, std::string("x64;1033")}, {9, long_text}, {16, std::int32_t{0x0922001F}}});
    ASSERT_TRUE(bytes);
    const auto parsed = corvath::tests::parse_property_set(*bytes);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), 4u);
    EXPECT_EQ(parsed->at(1).type, 2u);
    EXPECT_EQ(std::get<std::int32_t>(parsed->at(1).value), 1252);
    EXPECT_EQ(std::get<std::string>(parsed->at(7).value), "x64;1033");
    EXPECT_EQ(std::get<std::string>(parsed->at(9).value), long_text);
    EXPECT_EQ(parsed->at(16).type, 3u);
    EXPECT_EQ(std::get<std::int32_t>(parsed->at(16).value), 0x0922001F);
}

TEST(SummaryInformation, RefusesTextCodePage1252WouldChange) {
    EXPECT_FALSE(write_summary_information({{7, std::string("caf\xC3\xA9")}}));
    EXPECT_FALSE(write_summary_information({{7, std::string("a\0b", 3)}}));
    EXPECT_FALSE(write_summary_information({{7, std::string("a")}, {7, std::string("b")}}));
}

TEST(TargetListOfLength, HitsEveryLengthFromTheTargetsOn) {
    const std::vector<std::string> targets = {"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}",
                                              "{D23F0824-4F3E-2F33-0C5C-7FD0A6A3A450}"};
    const std::string joined = targets[0] + ";" + targets[1];
    for (std::size_t length = joined.size(); length < joined.size() + 200; ++length) {
        const auto list = target_list_of_length(targets, length);
        if (length == joined.size() + 1 || length == joined.size() + 2) {
            // ";" plus fewer than two characters cannot be a braced entry.
            EXPECT_FALSE(list) << length;
            continue;
        }
        ASSERT_TRUE(list) << length;
        EXPECT_EQ(list->size(), length);
        EXPECT_EQ(list->substr(0, joined.size()), joined);
        EXPECT_EQ(list->find(";;"), std::string::npos);
    }
    EXPECT_FALSE(target_list_of_length(targets, joined.size() - 1));
}
