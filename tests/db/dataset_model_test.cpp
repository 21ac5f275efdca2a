#include "db/dataset_model.h"
#include "db_test_env.h"

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
        exec(*db, QStringLiteral("insert into [Станции] ([Код],[Высота],[Открыта],n) values (?,?,?,?)"),
             {QStringLiteral("ПЕТ"), 110.25, QDateTime(QDate(1961, 7, 1), QTime(12, 30)), 1});
        exec(*db, QStringLiteral("insert into [Станции] ([Код]) values ('ЯКУ')"));
        query = std::make_unique<DbQuery>(db.get());
        query->SetSQL(QStringLiteral("select * from [Станции] order by id"));
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
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Код"));
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
    EXPECT_EQ(cell(1, 2), QStringLiteral("250.5"));
    EXPECT_EQ(query->State(), DataSetState::Browse);

    // A refused value leaves the stored one and tells the user.
    EXPECT_FALSE(model->setData(model->index(0, 4), QStringLiteral("много")));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("'много' is not a valid integer value"));
    EXPECT_EQ(messages.last().icon, unsigned(MB_ICONERROR));
    EXPECT_EQ(cell(0, 4), QStringLiteral("1"));

    DbQuery check(db.get());
    check.SetSQL(QStringLiteral("select [Высота], [Открыта] from [Станции] where id=2"));
    check.Open();
    EXPECT_DOUBLE_EQ(check.Field(0)->AsFloat(), 250.5);
    EXPECT_EQ(check.Field(1)->AsString(), QStringLiteral("03.02.2001 04:05:06"));
}

TEST_F(DataSetModelTest, AppendedRowShowsUntilPostedOrCancelled)
{
    query->Append();
    EXPECT_EQ(model->rowCount(), 3);
    EXPECT_TRUE(model->setData(model->index(2, 1), QStringLiteral("АРТ")));
    EXPECT_EQ(cell(2, 1), QStringLiteral("АРТ"));
    query->Post();
    EXPECT_EQ(model->rowCount(), 3);
    EXPECT_EQ(cell(2, 0), QStringLiteral("3"));
    query->Append();
    query->Cancel();
    EXPECT_EQ(model->rowCount(), 3);
    query->SetRecNo(1);
    query->Delete();
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(cell(0, 1), QStringLiteral("ЯКУ"));
}

} // namespace
