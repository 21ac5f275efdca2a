#include "db/dataset_model.h"
#include "db_test_env.h"

using namespace Qt::StringLiterals;

namespace {

class DataSetModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = env.open();
        exec(*db, "create table [Станции] (id counter, [Код] varchar(10), [Высота] float, [Открыта] date, n "
                  "integer, "
                  "primary key (id))");
        exec(*db, u"insert into [Станции] ([Код],[Высота],[Открыта],n) values (?,?,?,?)"_s,
             {u"ПЕТ"_s, 110.25, QDateTime(QDate(1961, 7, 1), QTime(12, 30)), 1});
        exec(*db, u"insert into [Станции] ([Код]) values ('ЯКУ')"_s);
        query = std::make_unique<DbQuery>(db.get());
        query->SetSQL(u"select * from [Станции] order by id"_s);
        query->Open();
        model = std::make_unique<DataSetModel>(query.get());
    }

    QString cell(int row, int column) const { return model->data(model->index(row, column)).toString(); }

    SqliteEnv env;
    std::unique_ptr<DbConnection> db;
    std::unique_ptr<DbQuery> query;
    std::unique_ptr<DataSetModel> model;
};

TEST_F(DataSetModelTest, ShowsRowsFieldsAndTexts)
{
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->columnCount(), 5);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), u"Код"_s);
    const QStringList first{"1", "ПЕТ", "110.25", "01.07.1961 12:30:00", "1"};
    const QStringList second{"2", "ЯКУ", "", "", ""};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(cell(0, c), first[c]) << c;
        EXPECT_EQ(cell(1, c), second[c]) << c;
    }
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable); // the counter
    EXPECT_TRUE(model->flags(model->index(0, 1)) & Qt::ItemIsEditable);
    query->Close();
    EXPECT_EQ(model->rowCount(), 0);
}

TEST_F(DataSetModelTest, EditsGoThroughTheDataSet)
{
    MessageRecorder messages;
    int changed = 0;
    QObject::connect(model.get(), &QAbstractItemModel::dataChanged, [&changed] { ++changed; });
    EXPECT_TRUE(model->setData(model->index(1, 2), 250.5));
    EXPECT_TRUE(model->setData(model->index(1, 3), QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6))));
    EXPECT_GE(changed, 2);
    EXPECT_EQ(cell(1, 2), u"250.5"_s);
    EXPECT_EQ(query->State(), DataSetState::Browse);

    // A refused value leaves the stored one and tells the user.
    EXPECT_FALSE(model->setData(model->index(0, 4), u"много"_s));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, u"\"много\" - не целое число"_s);
    EXPECT_EQ(messages.last().icon, unsigned(MB_ICONERROR));
    EXPECT_EQ(cell(0, 4), u"1"_s);

    DbQuery check(db.get());
    check.SetSQL(u"select [Высота], [Открыта] from [Станции] where id=2"_s);
    check.Open();
    EXPECT_DOUBLE_EQ(check.Field(0)->AsFloat(), 250.5);
    EXPECT_EQ(check.Field(1)->AsString(), u"03.02.2001 04:05:06"_s);
}

TEST_F(DataSetModelTest, AppendedRowShowsUntilPostedOrCancelled)
{
    query->Append();
    EXPECT_EQ(model->rowCount(), 3);
    EXPECT_TRUE(model->setData(model->index(2, 1), u"АРТ"_s));
    EXPECT_EQ(cell(2, 1), u"АРТ"_s);
    query->Post();
    EXPECT_EQ(model->rowCount(), 3);
    EXPECT_EQ(cell(2, 0), u"3"_s);
    query->Append();
    query->Cancel();
    EXPECT_EQ(model->rowCount(), 3);
    query->SetRecNo(1);
    query->Delete();
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(cell(0, 1), u"ЯКУ"_s);
}

} // namespace
