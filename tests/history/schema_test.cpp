#include "fakes/temp_folder.h"
#include "history/schema.h"

#include <array>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace quorlan::history {
namespace {

class SchemaTest : public ::testing::Test {
protected:
    sql::Database open() {
        return sql::Database(folder.path("history.sqlite"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    }
    testing::TempFolder folder;
};

TEST_F(SchemaTest, newFile_getsTheCurrentSchemaAndIsMarkedAsAHistory) {
    auto db = open();
    migrate(db);
    EXPECT_EQ(db.integer("PRAGMA user_version"), currentSchemaVersion());
    EXPECT_EQ(db.integer("PRAGMA application_id"), kApplicationId);
    EXPECT_EQ(db.integer("SELECT count(*) FROM events"), 0);
    migrate(db); // a second time changes nothing
    EXPECT_EQ(db.integer("PRAGMA user_version"), currentSchemaVersion());
}

TEST_F(SchemaTest, olderFile_isTakenUpStepByStep_keepingItsRows) {
    constexpr std::array steps = {
        Migration{1, "CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1);"},
        Migration{2, "ALTER TABLE t ADD COLUMN b TEXT NOT NULL DEFAULT 'two';"},
        Migration{3, "UPDATE t SET b = b || ' three';"},
    };
    auto db = open();
    migrate(db, std::span(steps).first(1));
    ASSERT_EQ(db.integer("PRAGMA user_version"), 1);

    migrate(db, steps);

    EXPECT_EQ(db.integer("PRAGMA user_version"), 3);
    auto row = db.prepare("SELECT a, b FROM t");
    ASSERT_TRUE(row.step());
    EXPECT_EQ(row.integer(0), 1);
    EXPECT_EQ(row.text(1), "two three");
}

TEST_F(SchemaTest, aStepThatFails_leavesTheFileAtItsVersionWithNoHalfStep) {
    constexpr std::array steps = {
        Migration{1, "CREATE TABLE t (a INTEGER);"},
        Migration{2, "CREATE TABLE u (b INTEGER); THIS IS NOT SQL;"},
    };
    auto db = open();
    migrate(db, std::span(steps).first(1));

    EXPECT_THROW(migrate(db, steps), sql::Error);

    EXPECT_EQ(db.integer("PRAGMA user_version"), 1);
    EXPECT_EQ(db.integer("SELECT count(*) FROM sqlite_schema WHERE name = 'u'"), 0);
}

TEST_F(SchemaTest, filesThisProgramMustNotTouch_areRefusedAndLeftAsTheyAre) {
    struct Case {
        const char* name;
        const char* setup;
        SchemaError::Kind kind;
    };
    const std::array cases = {
        Case{"newer version", "PRAGMA application_id = 1364347982; PRAGMA user_version = 99;",
             SchemaError::Kind::Newer},
        Case{"another program's database", "CREATE TABLE invoices (n INTEGER);", SchemaError::Kind::Foreign},
        Case{"another program's mark", "PRAGMA application_id = 42;", SchemaError::Kind::Foreign},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempFolder place;
        sql::Database db(place.path("h.sqlite"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.exec(c.setup);
        const auto version = db.integer("PRAGMA user_version");
        try {
            migrate(db);
            ADD_FAILURE() << "not refused";
        } catch (const SchemaError& error) {
            EXPECT_EQ(error.kind(), c.kind);
        }
        EXPECT_EQ(db.integer("PRAGMA user_version"), version);
        EXPECT_EQ(db.integer("SELECT count(*) FROM sqlite_schema WHERE name = 'events'"), 0);
    }
}

} // namespace
} // namespace quorlan::history
