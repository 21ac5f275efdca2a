// The text import's merge of a first event whose number is the largest an event can have.

#include "text_tables_env.h"

using namespace Qt::StringLiterals;

namespace {

template <class Env> class TextMergeAtTheLimit : public TextTablesTest<Env>
{
protected:
    void SetUp() override
    {
        TextTablesTest<Env>::SetUp();
        if (!this->db)
            return;
        for (const char *sql : kBulletinCreates)
            exec(*this->db, sql);
        const auto spec = [](std::initializer_list<const char *> names) {
            tspec s;
            for (const char *name : names)
                s.cols.append(tspeccol{QString::fromUtf8(name), false, true, {}});
            s.cols[0].used = false; // the counter is the database's
            return s;
        };
        this->specs[0] = spec({"orid", "num", "comment"});
        this->specs[1] = spec({"arid", "N_equake", "Phase"});
        this->specs[2] = spec({"Id_XM", "arid", "Amp_Z"});
    }
};

TYPED_TEST_SUITE(TextMergeAtTheLimit, BothBackends, BackendName);

} // namespace

// The file's first event is merged with the one the database holds: it stays as it was and its new
// reading joins it. No event can come after 2147483647, so there is no range to ask about.
TYPED_TEST(TextMergeAtTheLimit, TheMergedLastNumberLeavesNoRange)
{
    exec(*this->db, u"insert into [События] (num,comment) values (5,'keep'),(2147483647,'in db')"_s);
    fillRows(this->tables[0], 3, {"1|2147483647|from the file"});
    fillRows(this->tables[1], 3, {"1|2147483647|P"});
    fillRows(this->tables[2], 3, {});
    TextTablesInput in = this->input(true);
    ASSERT_TRUE(WriteTextToBulletin(*this->db, in));
    EXPECT_EQ(shown(this->rec), QList<Shown>());
    EXPECT_EQ(this->rows("select num,comment from [События] order by num"),
              (QStringList{u"5|keep"_s, u"2147483647|in db"_s}));
    EXPECT_EQ(this->rows("select N_equake,Phase from [Станционный бюллетень] order by arid"),
              QStringList{u"2147483647|P"_s});
}
