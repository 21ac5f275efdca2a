#include "app/events/data_binding.h"
#include "app/settings/connection_params.h"
#include "support/program_env.h"

#include "lib/work_dates.h"

#include <QDateEdit>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace {

class DataBinding : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *sql :
             {"create table t (id counter,name varchar(20),qty integer,amount float,flag integer,"
              "mark varchar(5),day date,kind char(3),primary key (id))",
              "insert into t (name,qty,amount,flag,mark,day,kind) values "
              "('first',1,1.23456,1,'True',45292,'SP')",
              "insert into t (name,qty,amount,flag,mark,day,kind) values "
              "('second',2,null,0,'False',null,'LP')"})
            exec(db, sql);
        q.SetSQL(QStringLiteral("select * from t order by id"));

        auto *layout = new QVBoxLayout(&form);
        for (QWidget *w : std::initializer_list<QWidget *>{name, qty, amount, flag, mark, day, kind, label})
            layout->addWidget(w);
        kind->addItems({QStringLiteral("SP"), QStringLiteral("LP")});
        source.Bind(name, QStringLiteral("name"));
        source.Bind(qty, QStringLiteral("qty"));
        source.Bind(amount, QStringLiteral("amount"));
        source.Bind(flag, QStringLiteral("flag"));
        source.Bind(mark, QStringLiteral("mark"));
        source.Bind(day, QStringLiteral("day"));
        source.Bind(kind, QStringLiteral("kind"));
        source.Bind(label, QStringLiteral("NAME"));
    }

    // The stored row, read past the dataset.
    QVariantList stored(int id)
    {
        DbQuery r(&db);
        r.SetSQL(QStringLiteral("select name,qty,amount,flag,mark,day,kind from t where id=%1").arg(id));
        r.Open();
        QVariantList values;
        for (int i = 0; i < r.FieldCount(); ++i)
            values << r.Field(i)->Value();
        return values;
    }

    SqliteEnv env;
    std::unique_ptr<DbConnection> conn = env.open();
    DbConnection &db = *conn;
    MessageRecorder messages;
    DbQuery q{&db};
    QWidget form;
    QLineEdit *name = new QLineEdit, *qty = new QLineEdit, *amount = new QLineEdit;
    QCheckBox *flag = new QCheckBox, *mark = new QCheckBox;
    QDateEdit *day = new QDateEdit;
    QComboBox *kind = new QComboBox;
    QLabel *label = new QLabel;
    DataSource source{&q};
};

TEST_F(DataBinding, ControlsShowTheCurrentRecord)
{
    const auto expectClosed = [&] {
        for (QWidget *w : std::initializer_list<QWidget *>{name, amount, flag, day, kind, label})
            EXPECT_FALSE(w->isEnabled()) << w->metaObject()->className();
        EXPECT_EQ(name->text(), QString());
        EXPECT_EQ(label->text(), QString());
        EXPECT_FALSE(flag->isChecked());
        EXPECT_EQ(kind->currentIndex(), -1);
    };
    expectClosed();
    int changes = 0;
    QObject::connect(&source, &DataSource::DataChange, [&changes] { ++changes; });

    q.Open();
    EXPECT_GT(changes, 0);
    EXPECT_TRUE(name->isEnabled());
    EXPECT_EQ(name->text(), QStringLiteral("first"));
    EXPECT_EQ(label->text(), QStringLiteral("first")); // field names match regardless of case
    EXPECT_EQ(amount->text(), QStringLiteral("1.23456"));
    EXPECT_TRUE(flag->isChecked() && mark->isChecked());
    EXPECT_EQ(day->date(), QDate(2024, 1, 1));
    EXPECT_EQ(kind->currentText(), QStringLiteral("SP"));

    // A text handler shows the value its way; the focused edit goes back to the full value.
    source.SetGetText(QStringLiteral("amount"), [](const TField &f, QString &text, bool display) {
        text = display && !f.IsNull() ? QStringLiteral("<%1>").arg(f.AsString()) : f.AsString();
    });
    EXPECT_EQ(amount->text(), QStringLiteral("<1.23456>"));
    form.show();
    QApplication::setActiveWindow(&form);
    amount->setFocus();
    ASSERT_TRUE(amount->hasFocus());
    EXPECT_EQ(amount->text(), QStringLiteral("1.23456"));
    name->setFocus();
    EXPECT_EQ(amount->text(), QStringLiteral("<1.23456>"));

    q.Next();
    EXPECT_EQ(name->text(), QStringLiteral("second"));
    EXPECT_EQ(amount->text(), QString()); // null
    EXPECT_FALSE(flag->isChecked() || mark->isChecked());
    EXPECT_EQ(day->text().trimmed(), QString()); // a null date shows blank
    EXPECT_EQ(kind->currentText(), QStringLiteral("LP"));

    q.Close();
    expectClosed();
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(DataBinding, UserChangesAreStoredAndPostedByNavigation)
{
    q.Open();
    q.Next();
    emit name->textEdited(QStringLiteral("changed"));
    EXPECT_EQ(q.State(), DataSetState::Edit);
    EXPECT_EQ(label->text(), QStringLiteral("changed")); // the other controls follow at once
    emit qty->textEdited(QStringLiteral("x7"));          // no integer: the field keeps its value
    emit amount->textEdited(QStringLiteral("2,5"));      // either decimal separator
    flag->click();
    mark->click();
    day->setDate(QDate(2024, 3, 2));
    kind->setCurrentIndex(0);
    emit kind->activated(0);
    q.Prior();
    EXPECT_EQ(q.State(), DataSetState::Browse);
    EXPECT_EQ(stored(2), (QVariantList{QStringLiteral("changed"), 2LL, 2.5, 1LL, QStringLiteral("True"),
                                       EncodeDate(2024, 3, 2), QStringLiteral("SP")}));

    // Back to empty: texts and the date's blank minimum store null.
    emit name->textEdited(QString());
    day->setDateTime(day->minimumDateTime());
    q.Next();
    const QVariantList row = stored(1);
    EXPECT_TRUE(row.at(0).isNull());
    EXPECT_TRUE(row.at(5).isNull());
    EXPECT_EQ(messages.count(), 0);
}

// A date and time typed into a date-time edit is taken as typed, whether the edit's text was selected or
// the cursor stood at its start, with or without separators and leading zeros, and also when only one
// section is typed over; a day outside the working days, or one that does not exist, is told when the
// edit is left and the record keeps its value.
TEST_F(DataBinding, TypedDateTimesAreTakenAsTypedOrRefused)
{
    auto *when = new QDateTimeEdit;
    form.layout()->addWidget(when);
    when->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    SetWorkDateMaximum(when);
    source.Bind(when, QStringLiteral("day"));
    auto *line = when->findChild<QLineEdit *>();
    const TDateTime first = EncodeDate(2024, 1, 1); // the first row's day
    const TDateTime typed = EncodeDate(2026, 11, 6) + EncodeTime(17, 40, 2, 0);
    enum Start { All, AtStart, InMinutes };
    const struct
    {
        Start start;
        const char *keys;
        TDateTime stored;
        const char *message;
    } cases[] = {
        {All, "06.11.2026 17:40:02", typed, nullptr},
        {AtStart, "06.11.2026 17:40:02", typed, nullptr},
        {AtStart, "6.11.2026 17:40:2", typed, nullptr},
        {All, "06112026174002", typed, nullptr},
        {All, "06.11.2026 17:40:03\b2", typed, nullptr},
        {All, "06.11.2026 17:41\b\b40:02", typed, nullptr},
        {InMinutes, "40", first + EncodeTime(0, 40, 0, 0), nullptr},
        {All, "01.01.1899 12:00:00", first,
         "Дата 01.01.1899 вне допустимых пределов: от 01.01.1900 до 31.12.9998."},
        {All, "31.02.2026 10:00:00", first, "Неверная дата: \"31.02.2026 10:00:00\""},
        {AtStart, "06.11.20", first, "Неверная дата: \"06.11.20 00:00:00\""},
    };
    form.show();
    QApplication::setActiveWindow(&form);
    q.Open();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keys);
        exec(db, QStringLiteral("update t set day=45292 where id=1"));
        q.Close();
        q.Open();
        messages.clear();
        when->setFocus();
        ASSERT_TRUE(when->hasFocus());
        if (c.start == All)
            when->selectAll();
        else
            line->setCursorPosition(c.start == AtStart ? 0 : 14);
        typeKeys(when, QString::fromUtf8(c.keys));
        EXPECT_EQ(messages.count(), 0);
        name->setFocus(); // leaves the edit
        EXPECT_EQ(::shown(messages),
                  c.message ? QList<Shown>({{QString::fromUtf8(c.message), MB_ICONERROR}}) : QList<Shown>());
        EXPECT_EQ(when->dateTime(), ToQDateTime(c.stored));
        q.Next();
        EXPECT_DOUBLE_EQ(stored(1).at(5).toDouble(), c.stored);
    }
}

} // namespace
