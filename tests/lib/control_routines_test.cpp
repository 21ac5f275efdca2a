#include "fake_dataset.h"
#include "lib/combo_routines.h"
#include "lib/control_routines.h"
#include "support/test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableWidget>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A query with rows: moving loads the row's values into the fields.
class RowsDataSet : public FakeDataSet
{
public:
    QList<QVariantList> rows;
    DataSetState state = DataSetState::Browse;

    void First() override { load(0); }
    void Next() override { load(m_row + 1); }
    bool Eof() const override { return m_row >= rows.size(); }
    DataSetState State() const override { return state; }
    void Edit() override
    {
        log << u"Edit"_s;
        state = DataSetState::Edit;
    }

private:
    void load(int row)
    {
        m_row = row;
        if (row < rows.size())
            for (int c = 0; c < FieldCount(); ++c)
                Field(c)->SetValue(rows.at(row).value(c));
    }
    int m_row = 0;
};

// A field whose reading, or whose writing of a Boolean, fails as a driver's would.
class FailingField : public FakeField
{
public:
    FailingField(FieldType type, QVariant value, bool failRead)
        : FakeField(u"f"_s, type, std::move(value)), m_failRead(failRead)
    {}
    QVariant Value() const override
    {
        if (m_failRead)
            throw DbError(u"cannot read"_s);
        return FakeField::Value();
    }
    void SetValue(const QVariant &value) override
    {
        if (!m_failRead && value.typeId() == QMetaType::Bool)
            throw DbError(u"cannot write"_s);
        FakeField::SetValue(value);
    }

private:
    bool m_failRead;
};

QDateTimeEdit *picker(QWidget *parent, QDate d, QTime t, int tag)
{
    auto *p = new QDateTimeEdit(parent);
    p->setMinimumDate(QDate(1800, 1, 1));
    p->setDateTime(QDateTime(d, t));
    SetControlTag(p, tag);
    return p;
}

TEST(CreateControls, NamePlaceAndHeightRule)
{
    QWidget parent;
    QFont big = parent.font();
    big.setPointSize(20);
    parent.setFont(big);
    // A fresh control of the same kind in the same font tells the default height.
    auto defaultHeight = [&](QWidget *fresh) {
        fresh->setFont(big);
        const int h = fresh->sizeHint().height();
        delete fresh;
        return h;
    };
    const int defaults[] = {defaultHeight(new QLabel), defaultHeight(new QLineEdit),
                            defaultHeight(new QComboBox), defaultHeight(new QDateTimeEdit)};

    for (const int height : {-1, 0, 25}) {
        QLabel *lbl = nullptr;
        QLineEdit *ed = nullptr;
        QComboBox *cb = nullptr;
        QDateTimeEdit *dtp = nullptr;
        CreateLabel(lbl, &parent, u"lab1"_s, 5, 6, 70, height, {});
        CreateEdit(ed, &parent, u"ed1"_s, 7, 8, 80, height, {}, {});
        CreateComboBox(cb, &parent, u"cb1"_s, 9, 10, 90, height, {}, {});
        CreateDateTimePicker(dtp, &parent, u"dt1"_s, 11, 12, 100, height, {}, {});
        const std::unique_ptr<QWidget> owned[] = {std::unique_ptr<QWidget>(lbl), std::unique_ptr<QWidget>(ed),
                                                  std::unique_ptr<QWidget>(cb),
                                                  std::unique_ptr<QWidget>(dtp)};
        const QString names[] = {u"lab1"_s, u"ed1"_s, u"cb1"_s, u"dt1"_s};
        for (int i = 0; i < 4; ++i) {
            QWidget *w = owned[i].get();
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(w->parentWidget(), &parent);
            EXPECT_EQ(w->objectName(), names[i]);
            EXPECT_EQ(w->geometry(),
                      QRect(5 + 2 * i, 6 + 2 * i, 70 + 10 * i, height < 0 ? defaults[i] : height))
                << names[i].toStdString();
            EXPECT_EQ(w->font().pointSize(), 20);
        }
        EXPECT_TRUE(ed->text().isEmpty());
        EXPECT_TRUE(ed->hasFrame());
        EXPECT_FALSE(cb->isEditable());
    }
}

TEST(CreateControls, FontNoLongerFollowsTheParent)
{
    QWidget parent;
    QLineEdit *ed = nullptr;
    CreateEdit(ed, &parent, u"ed"_s, 0, 0, 50, -1, {}, {});
    const QFont before = ed->font();
    QFont other = parent.font();
    other.setPointSize(before.pointSize() + 7);
    other.setBold(true);
    parent.setFont(other);
    EXPECT_EQ(ed->font(), before);
}

TEST(CreateControls, HandlersGetTheSender)
{
    QWidget parent;
    QStringList calls;
    auto onChange = [&](QObject *s) { calls << u"change "_s + s->objectName(); };
    auto onKey = [&](QObject *s, int &key, Qt::KeyboardModifiers) {
        calls << u"key %1 %2"_s.arg(s->objectName()).arg(key);
        if (key == Qt::Key_X)
            key = 0;
    };

    QLabel *lbl = nullptr;
    CreateLabel(lbl, &parent, u"lab"_s, 0, 0, 40, 20,
                [&](QObject *s) { calls << u"click "_s + s->objectName(); });
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(lbl, &e);
    }
    EXPECT_EQ(calls, QStringList{u"click lab"_s});

    calls.clear();
    QLineEdit *ed = nullptr;
    CreateEdit(ed, &parent, u"ed"_s, 0, 30, 40, -1, onChange, onKey);
    ed->setText(u"a"_s);
    QFocusEvent focusOut(QEvent::FocusOut);
    QApplication::sendEvent(ed, &focusOut);
    for (const auto &[key, text] : {std::pair{Qt::Key_X, "x"}, std::pair{Qt::Key_Y, "y"}}) {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QApplication::sendEvent(ed, &e);
    }
    // The swallowed key never reaches the edit; the other one types and changes the text.
    EXPECT_EQ(ed->text(), u"ay"_s);
    EXPECT_EQ(calls, (QStringList{u"change ed"_s, u"change ed"_s, u"key ed %1"_s.arg(int(Qt::Key_X)),
                                  u"key ed %1"_s.arg(int(Qt::Key_Y)), u"change ed"_s}));

    calls.clear();
    QDateTimeEdit *dtp = nullptr;
    CreateDateTimePicker(dtp, &parent, u"dt"_s, 0, 60, 80, -1, onChange, onKey);
    dtp->setDate(QDate(2020, 5, 6));
    EXPECT_EQ(calls, QStringList{u"change dt"_s});
}

TEST(CreateComboBox, ProgramSelectionBySelectComboTextRunsNoChangeHandler)
{
    QWidget parent;
    int changes = 0;
    QComboBox *cb = nullptr;
    CreateComboBox(cb, &parent, u"cb"_s, 0, 0, 80, -1, [&](QObject *) { ++changes; }, {});
    cb->addItems({u"depth"_s, u"lat"_s, u"lon"_s});
    EXPECT_EQ(SelectComboText(cb, u"LAT"_s), 1);
    EXPECT_EQ(SelectComboText(cb, u"mb"_s), -1);
    EXPECT_EQ(changes, 0);
    // The user's choice does run it.
    emit cb->activated(2);
    EXPECT_EQ(changes, 1);
}

TEST(CenterVert, RoundsTowardZero)
{
    // Reference top, reference height, control height, expected top: (21 - 13) / 2 = 4, 4.5 -> 4,
    // -1.5 -> -1 (not -2).
    for (const auto &[refTop, refHeight, height, top] :
         {std::array{10, 21, 13, 14}, {10, 22, 13, 14}, {10, 10, 13, 9}}) {
        QWidget parent;
        QWidget ref(&parent), control(&parent);
        ref.setGeometry(0, refTop, 50, refHeight);
        control.setGeometry(60, 99, 30, height);
        CenterVert(&control, &ref);
        EXPECT_EQ(control.pos(), QPoint(60, top)) << refHeight << " " << height;
    }
}

TEST(AutoSizeGridCols, WidestTextPlusMarginAtLeastEight)
{
    QTableWidget grid(3, 3);
    grid.setHorizontalHeaderLabels({u"A much longer header"_s, u"B"_s, QString()});
    grid.setItem(0, 0, new QTableWidgetItem(u"x"_s));
    grid.setItem(1, 1, new QTableWidgetItem(u"wide cell text"_s));
    grid.setItem(2, 1, new QTableWidgetItem(u"short"_s));
    const QFontMetrics fm(grid.font());

    for (const std::optional<int> margin : {std::optional<int>(), std::optional<int>(10)}) {
        const int m = margin ? *margin : 2 * 1 + 3; // grid lines are one pixel
        AutoSizeGridCols(&grid, margin);
        EXPECT_EQ(grid.columnWidth(0), fm.horizontalAdvance(u"A much longer header"_s) + m);
        EXPECT_EQ(grid.columnWidth(1), fm.horizontalAdvance(u"wide cell text"_s) + m);
        EXPECT_EQ(grid.columnWidth(2), std::max(m, 8));
        EXPECT_EQ(grid.verticalHeader()->defaultSectionSize(), fm.height() + m);
        EXPECT_EQ(grid.rowHeight(2), fm.height() + m);
    }
    AutoSizeGridCols(&grid, 0);
    EXPECT_EQ(grid.columnWidth(2), 8);
}

TEST(FillListFromQuery, NamesCarryTheIndexOfTheirCodeAndFailureEmptiesBoth)
{
    for (const bool fail : {false, true}) {
        MessageRecorder messages;
        RowsDataSet q;
        q.add(u"chan"_s, FieldType::String);
        q.add(u"descr"_s, FieldType::String);
        q.rows = {{u"BHZ"_s, u"broad band"_s}, {u"SHZ"_s, QVariant()}};
        if (fail)
            q.failWith = u"no such table"_s;
        TCodedNames names{{u"old"_s, 7}};
        QStringList codes{u"old"_s};
        FillListFromQuery(q, names, codes, u"select chan,descr from sitechan"_s);
        EXPECT_EQ(names, (fail ? TCodedNames() : TCodedNames{{u"BHZ"_s, 0}, {u"SHZ"_s, 1}}));
        EXPECT_EQ(codes, (fail ? QStringList() : QStringList{u"broad band"_s, QString()}));
        EXPECT_EQ(q.log.last(), u"Close"_s);
        EXPECT_FALSE(q.Active());
        EXPECT_EQ(messages.count(), fail ? 1 : 0);
    }
}

TEST(EditToField, OnlyATouchedEditWritesAndBadTextKeepsTheValue)
{
    // Tag, text, as integer, expected value of a field that starts at 99.
    const std::tuple<int, QString, bool, QVariant> cases[] = {
        {0, u"5"_s, false, 99.0},  {1, QString(), false, QVariant()}, {1, u"12"_s, true, qlonglong(12)},
        {1, u"1.5"_s, true, 99.0}, {1, u"1,5"_s, false, 1.5},         {2, u"-0.25"_s, false, -0.25},
        {1, u"abc"_s, false, 99.0}};
    for (const auto &[tag, text, asInteger, expected] : cases) {
        FakeField f(u"elev"_s, FieldType::Float, 99.0);
        QLineEdit ed(text);
        SetControlTag(&ed, tag);
        EditToField(&ed, &f, asInteger);
        EXPECT_EQ(f.Value(), expected) << tag << " " << text.toStdString();
        EXPECT_EQ(f.IsNull(), expected.isNull());
    }
}

TEST(PickersToField, DateOfTheFirstTimeOfTheSecond)
{
    // Date, time, date tag, time tag, expected value of a field that starts at 7.0.
    const std::tuple<QDate, QTime, int, int, QVariant> cases[] = {
        {QDate(2024, 1, 1), QTime(12, 0), 0, 0, 7.0},
        {QDate(1899, 12, 30), QTime(0, 0), 1, 0, QVariant()},
        {QDate(1899, 12, 30), QTime(0, 0, 0, 50), 0, 1, QVariant()},
        {QDate(1899, 12, 30), QTime(0, 0, 0, 200), 1, 1, 0.2 / 86400},
        {QDate(2024, 1, 1), QTime(12, 0), 0, 1, 45292.5},
        {QDate(1899, 12, 29), QTime(6, 0), 1, 0, -1.25}};
    for (const auto &[date, time, dateTag, timeTag, expected] : cases) {
        QWidget parent;
        FakeField f(u"ONDATE"_s, FieldType::DateTime, 7.0);
        // The date picker's own time and the time picker's own date must not count.
        PickersToField(picker(&parent, date, QTime(23, 59), dateTag),
                       picker(&parent, QDate(2001, 2, 3), time, timeTag), &f);
        EXPECT_EQ(f.IsNull(), expected.isNull()) << date.toString().toStdString();
        if (!expected.isNull()) {
            EXPECT_NEAR(f.Value().toDouble(), expected.toDouble(), 1e-9) << date.toString().toStdString();
        }
    }
}

TEST(FieldAsBool, ByFieldType)
{
    const std::tuple<FieldType, QVariant, bool> cases[] = {{FieldType::String, u"true"_s, true},
                                                           {FieldType::String, u"yes"_s, false},
                                                           {FieldType::Memo, u"T"_s, true},
                                                           {FieldType::WideString, u"12"_s, true},
                                                           {FieldType::String, QVariant(), false},
                                                           {FieldType::Integer, qlonglong(0), false},
                                                           {FieldType::SmallInt, qlonglong(-3), true},
                                                           {FieldType::LargeInt, qlonglong(1) << 40, true},
                                                           {FieldType::Float, 0.0, false},
                                                           {FieldType::Currency, 0.25, true},
                                                           {FieldType::Boolean, false, false}};
    for (const auto &[type, value, expected] : cases) {
        FakeField f(u"flag"_s, type, value);
        EXPECT_EQ(FieldAsBool(&f), expected)
            << FieldTypeName(type).toStdString() << " " << value.toString().toStdString();
    }
    // Only the Boolean reading is forgiven.
    FailingField boolean(FieldType::Boolean, true, true);
    EXPECT_FALSE(FieldAsBool(&boolean));
    FailingField integer(FieldType::Integer, qlonglong(1), true);
    EXPECT_THROW(FieldAsBool(&integer), DbError);
}

TEST(SetFieldBool, StoresInTheFieldsOwnTermsAfterEdit)
{
    const std::tuple<FieldType, QVariant, QVariant> cases[] = {
        {FieldType::String, u"1"_s, u"0"_s},
        {FieldType::Integer, qlonglong(1), qlonglong(0)},
        {FieldType::BCD, 1.0, 0.0},
        {FieldType::Boolean, true, false}};
    for (const auto &[type, whenTrue, whenFalse] : cases) {
        for (const bool value : {true, false}) {
            RowsDataSet ds;
            FakeField &f = ds.add(u"flag"_s, type);
            SetFieldBool(ds, &f, value);
            EXPECT_EQ(f.Value(), value ? whenTrue : whenFalse) << FieldTypeName(type).toStdString();
            EXPECT_EQ(ds.log, QStringList{u"Edit"_s});
        }
    }
    // Already editing, and a field that refuses a Boolean: nothing is written, no Edit is called.
    RowsDataSet ds;
    ds.state = DataSetState::Insert;
    FailingField f(FieldType::Date, 5.0, false);
    SetFieldBool(ds, &f, true);
    EXPECT_TRUE(f.IsNull());
    EXPECT_TRUE(ds.log.isEmpty());
}

} // namespace
