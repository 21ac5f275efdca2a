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
        log << QStringLiteral("Edit");
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
    FailingField(FieldType type, QVariant value, bool failRead, bool failBoolWrite)
        : FakeField(QStringLiteral("f"), type, std::move(value)), m_failRead(failRead),
          m_failBoolWrite(failBoolWrite)
    {}
    QVariant Value() const override
    {
        if (m_failRead)
            throw DbError(QStringLiteral("cannot read"));
        return FakeField::Value();
    }
    void SetValue(const QVariant &value) override
    {
        if (m_failBoolWrite && value.typeId() == QMetaType::Bool)
            throw DbError(QStringLiteral("cannot write"));
        FakeField::SetValue(value);
    }

private:
    bool m_failRead;
    bool m_failBoolWrite;
};

QDateTimeEdit *picker(QWidget *parent, QDate d, QTime t, int tag)
{
    auto *p = new QDateTimeEdit(parent);
    p->setMinimumDate(QDate(1800, 1, 1));
    p->setDateTime(QDateTime(d, t));
    SetControlTag(p, tag);
    return p;
}

TEST(ControlTag, StartsAtZeroAndKeepsWhatIsSet)
{
    QWidget w;
    EXPECT_EQ(ControlTag(&w), 0);
    SetControlTag(&w, 3);
    EXPECT_EQ(ControlTag(&w), 3);
    EXPECT_EQ(ControlTag(nullptr), 0);
}

TEST(CreateControls, NamePlaceAndHeightRule)
{
    QWidget parent;
    QFont big = parent.font();
    big.setPointSize(20);
    parent.setFont(big);

    // Each routine with Height -1, 0 and 25; -1 must give the height a fresh control of that kind wants.
    for (const int height : {-1, 0, 25}) {
        QLabel *lbl = nullptr;
        QLineEdit *ed = nullptr;
        QComboBox *cb = nullptr;
        QDateTimeEdit *dtp = nullptr;
        CreateLabel(lbl, &parent, QStringLiteral("lab1"), 5, 6, 70, height, {});
        CreateEdit(ed, &parent, QStringLiteral("ed1"), 7, 8, 80, height, {}, {});
        CreateComboBox(cb, &parent, QStringLiteral("cb1"), 9, 10, 90, height, {}, {});
        CreateDateTimePicker(dtp, &parent, QStringLiteral("dt1"), 11, 12, 100, height, {}, {});

        // A fresh control of the same kind in the same font tells the default height.
        auto defaultHeight = [&](QWidget *fresh) {
            fresh->setFont(big);
            const int h = fresh->sizeHint().height();
            delete fresh;
            return h;
        };
        const struct
        {
            QWidget *w;
            QString name;
            QPoint pos;
            int width;
            int defaultHeight;
        } cases[] = {
            {lbl, QStringLiteral("lab1"), {5, 6}, 70, defaultHeight(new QLabel)},
            {ed, QStringLiteral("ed1"), {7, 8}, 80, defaultHeight(new QLineEdit)},
            {cb, QStringLiteral("cb1"), {9, 10}, 90, defaultHeight(new QComboBox)},
            {dtp, QStringLiteral("dt1"), {11, 12}, 100, defaultHeight(new QDateTimeEdit)},
        };
        for (const auto &c : cases) {
            ASSERT_NE(c.w, nullptr);
            EXPECT_EQ(c.w->parentWidget(), &parent);
            EXPECT_EQ(c.w->objectName(), c.name);
            EXPECT_EQ(c.w->pos(), c.pos) << c.name.toStdString();
            EXPECT_EQ(c.w->width(), c.width) << c.name.toStdString();
            EXPECT_EQ(c.w->height(), height < 0 ? c.defaultHeight : height) << c.name.toStdString();
            EXPECT_EQ(c.w->font().pointSize(), 20);
        }
        EXPECT_TRUE(ed->text().isEmpty());
        EXPECT_TRUE(ed->hasFrame());
        EXPECT_FALSE(cb->isEditable());
        delete lbl;
        delete ed;
        delete cb;
        delete dtp;
    }
}

TEST(CreateEdit, NegativeHeightKeepsTheDefaultHeightOfAnEdit)
{
    QWidget parent;
    QLineEdit *ed = nullptr;
    CreateEdit(ed, &parent, QStringLiteral("ed"), 0, 0, 50, -1, {}, {});
    QLineEdit plain(&parent);
    EXPECT_EQ(ed->height(), plain.sizeHint().height());
}

TEST(CreateControls, FontNoLongerFollowsTheParent)
{
    QWidget parent;
    QLineEdit *ed = nullptr;
    CreateEdit(ed, &parent, QStringLiteral("ed"), 0, 0, 50, -1, {}, {});
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
    auto onChange = [&](QObject *s) { calls << QStringLiteral("change ") + s->objectName(); };
    auto onKey = [&](QObject *s, int &key, Qt::KeyboardModifiers) {
        calls << QStringLiteral("key ") + s->objectName() + QLatin1Char(' ') + QString::number(key);
        if (key == Qt::Key_X)
            key = 0;
    };

    QLabel *lbl = nullptr;
    CreateLabel(lbl, &parent, QStringLiteral("lab"), 0, 0, 40, 20,
                [&](QObject *s) { calls << QStringLiteral("click ") + s->objectName(); });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(lbl, &press);
    QApplication::sendEvent(lbl, &release);
    EXPECT_EQ(calls, QStringList{QStringLiteral("click lab")});

    calls.clear();
    QLineEdit *ed = nullptr;
    CreateEdit(ed, &parent, QStringLiteral("ed"), 0, 30, 40, -1, onChange, onKey);
    ed->setText(QStringLiteral("a"));
    QFocusEvent focusOut(QEvent::FocusOut);
    QApplication::sendEvent(ed, &focusOut);
    QKeyEvent keyX(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(ed, &keyX);
    QKeyEvent keyY(QEvent::KeyPress, Qt::Key_Y, Qt::NoModifier, QStringLiteral("y"));
    QApplication::sendEvent(ed, &keyY);
    // The swallowed key never reaches the edit; the other one types and changes the text.
    EXPECT_EQ(ed->text(), QStringLiteral("ay"));
    EXPECT_EQ(calls,
              (QStringList{QStringLiteral("change ed"), QStringLiteral("change ed"),
                           QStringLiteral("key ed %1").arg(int(Qt::Key_X)),
                           QStringLiteral("key ed %1").arg(int(Qt::Key_Y)), QStringLiteral("change ed")}));

    calls.clear();
    QDateTimeEdit *dtp = nullptr;
    CreateDateTimePicker(dtp, &parent, QStringLiteral("dt"), 0, 60, 80, -1, onChange, onKey);
    dtp->setDate(QDate(2020, 5, 6));
    EXPECT_EQ(calls, QStringList{QStringLiteral("change dt")});
}

TEST(CreateComboBox, ProgramSelectionBySelectComboTextRunsNoChangeHandler)
{
    QWidget parent;
    int changes = 0;
    QComboBox *cb = nullptr;
    CreateComboBox(cb, &parent, QStringLiteral("cb"), 0, 0, 80, -1, [&](QObject *) { ++changes; }, {});
    cb->addItems({QStringLiteral("depth"), QStringLiteral("lat"), QStringLiteral("lon")});
    EXPECT_EQ(SelectComboText(cb, QStringLiteral("LAT")), 1);
    EXPECT_EQ(cb->currentIndex(), 1);
    EXPECT_EQ(SelectComboText(cb, QStringLiteral("mb")), -1);
    EXPECT_EQ(cb->currentIndex(), -1);
    EXPECT_EQ(changes, 0);
    // The user's choice does run it.
    emit cb->activated(2);
    EXPECT_EQ(changes, 1);
}

TEST(PropertyOnManyControls, EachSetsOnlyItsProperty)
{
    QWidget parent;
    QWidget a(&parent), b(&parent);
    a.setGeometry(1, 2, 30, 40);
    b.setGeometry(5, 6, 70, 80);
    SetLeftAll({&a, &b}, 11);
    EXPECT_EQ(a.geometry(), QRect(11, 2, 30, 40));
    EXPECT_EQ(b.geometry(), QRect(11, 6, 70, 80));
    SetTopAll({&a, &b}, 12);
    EXPECT_EQ(a.geometry(), QRect(11, 12, 30, 40));
    EXPECT_EQ(b.geometry(), QRect(11, 12, 70, 80));
    SetWidthAll({&a, &b}, 13);
    EXPECT_EQ(a.geometry(), QRect(11, 12, 13, 40));
    EXPECT_EQ(b.geometry(), QRect(11, 12, 13, 80));
    SetEnabledAll({&a, &b}, false);
    EXPECT_FALSE(a.isEnabled());
    EXPECT_FALSE(b.isEnabled());
    SetVisibleAll({&a}, false);
    EXPECT_TRUE(a.isHidden());
    EXPECT_FALSE(b.isHidden());
}

TEST(CenterVert, RoundsTowardZero)
{
    const struct
    {
        int refTop, refHeight, height, expectedTop;
    } cases[] = {
        {10, 21, 13, 14}, // (21 - 13) / 2 = 4
        {10, 22, 13, 14}, // 4.5 -> 4
        {10, 10, 13, 9},  // -1.5 -> -1, not -2
        {0, 20, 20, 0},
    };
    for (const auto &c : cases) {
        QWidget parent;
        QWidget ref(&parent), control(&parent);
        ref.setGeometry(0, c.refTop, 50, c.refHeight);
        control.setGeometry(60, 99, 30, c.height);
        CenterVert(&control, &ref);
        EXPECT_EQ(control.y(), c.expectedTop) << c.refHeight << " " << c.height;
        EXPECT_EQ(control.x(), 60);
    }
}

TEST(AutoSizeGridCols, WidestTextPlusMarginAtLeastEight)
{
    QTableWidget grid(3, 3);
    grid.setHorizontalHeaderLabels({QStringLiteral("A much longer header"), QStringLiteral("B"), QString()});
    grid.setItem(0, 0, new QTableWidgetItem(QStringLiteral("x")));
    grid.setItem(1, 1, new QTableWidgetItem(QStringLiteral("wide cell text")));
    grid.setItem(2, 1, new QTableWidgetItem(QStringLiteral("short")));
    const QFontMetrics fm(grid.font());
    const int textHeight = fm.height();

    for (const std::optional<int> margin : {std::optional<int>(), std::optional<int>(10)}) {
        const int m = margin ? *margin : 2 * 1 + 3; // grid lines are one pixel
        AutoSizeGridCols(&grid, margin);
        EXPECT_EQ(grid.columnWidth(0), fm.horizontalAdvance(QStringLiteral("A much longer header")) + m);
        EXPECT_EQ(grid.columnWidth(1), fm.horizontalAdvance(QStringLiteral("wide cell text")) + m);
        EXPECT_EQ(grid.columnWidth(2), std::max(m, 8));
        EXPECT_EQ(grid.verticalHeader()->defaultSectionSize(), textHeight + m);
        EXPECT_EQ(grid.rowHeight(2), textHeight + m);
    }
    AutoSizeGridCols(&grid, 0);
    EXPECT_EQ(grid.columnWidth(2), 8);
}

TEST(FillListFromQuery, NamesCarryTheIndexOfTheirCode)
{
    MessageRecorder messages;
    RowsDataSet q;
    q.add(QStringLiteral("chan"), FieldType::String);
    q.add(QStringLiteral("descr"), FieldType::String);
    q.rows = {{QStringLiteral("BHZ"), QStringLiteral("broad band")}, {QStringLiteral("SHZ"), QVariant()}};
    TCodedNames names{{QStringLiteral("old"), 7}};
    QStringList codes{QStringLiteral("old")};

    FillListFromQuery(q, names, codes, QStringLiteral("select chan,descr from sitechan"));
    EXPECT_EQ(names, (TCodedNames{{QStringLiteral("BHZ"), 0}, {QStringLiteral("SHZ"), 1}}));
    EXPECT_EQ(codes, (QStringList{QStringLiteral("broad band"), QString()}));
    EXPECT_EQ(q.log.last(), QStringLiteral("Close"));
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(messages.count(), 0);
}

TEST(FillListFromQuery, FailedQueryLeavesBothListsEmptyAndIsClosed)
{
    MessageRecorder messages;
    RowsDataSet q;
    q.failWith = QStringLiteral("no such table");
    TCodedNames names{{QStringLiteral("old"), 0}};
    QStringList codes{QStringLiteral("old")};
    FillListFromQuery(q, names, codes, QStringLiteral("select a,b from t"));
    EXPECT_TRUE(names.isEmpty());
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(messages.count(), 1);
    EXPECT_EQ(q.log.last(), QStringLiteral("Close"));
}

TEST(EditToField, OnlyATouchedEditWritesAndBadTextKeepsTheValue)
{
    const struct
    {
        int tag;
        QString text;
        bool asInteger;
        QVariant expected; // the field starts at 99
    } cases[] = {
        {0, QStringLiteral("5"), false, 99.0},      {0, QString(), false, 99.0},
        {1, QString(), false, QVariant()},          {1, QStringLiteral("12"), true, qlonglong(12)},
        {1, QStringLiteral("1.5"), true, 99.0},     {1, QStringLiteral("1,5"), false, 1.5},
        {2, QStringLiteral("-0.25"), false, -0.25}, {1, QStringLiteral("abc"), false, 99.0},
    };
    for (const auto &c : cases) {
        FakeField f(QStringLiteral("elev"), FieldType::Float, 99.0);
        QLineEdit ed(c.text);
        SetControlTag(&ed, c.tag);
        EditToField(&ed, &f, c.asInteger);
        EXPECT_EQ(f.Value(), c.expected) << c.tag << " " << c.text.toStdString();
        EXPECT_EQ(f.IsNull(), c.expected.isNull());
    }
}

TEST(PickersToField, DateOfTheFirstTimeOfTheSecond)
{
    const struct
    {
        QDate date;
        QTime time;
        int dateTag, timeTag;
        QVariant expected; // the field starts at 7.0
    } cases[] = {
        {QDate(2024, 1, 1), QTime(12, 0), 0, 0, 7.0},
        {QDate(1899, 12, 30), QTime(0, 0), 1, 0, QVariant()},
        {QDate(1899, 12, 30), QTime(0, 0, 0, 50), 0, 1, QVariant()},
        {QDate(1899, 12, 30), QTime(0, 0, 0, 200), 1, 1, 0.2 / 86400},
        {QDate(2024, 1, 1), QTime(12, 0), 0, 1, 45292.5},
        {QDate(1899, 12, 29), QTime(6, 0), 1, 0, -1.25},
    };
    for (const auto &c : cases) {
        QWidget parent;
        FakeField f(QStringLiteral("ONDATE"), FieldType::DateTime, 7.0);
        // The date picker's own time and the time picker's own date must not count.
        QDateTimeEdit *dp = picker(&parent, c.date, QTime(23, 59), c.dateTag);
        QDateTimeEdit *tp = picker(&parent, QDate(2001, 2, 3), c.time, c.timeTag);
        PickersToField(dp, tp, &f);
        EXPECT_EQ(f.IsNull(), c.expected.isNull()) << c.date.toString().toStdString();
        if (!c.expected.isNull()) {
            EXPECT_NEAR(f.Value().toDouble(), c.expected.toDouble(), 1e-9) << c.date.toString().toStdString();
        }
    }
}

TEST(FieldAsBool, ByFieldType)
{
    const struct
    {
        FieldType type;
        QVariant value;
        bool expected;
    } cases[] = {
        {FieldType::String, QStringLiteral("true"), true},
        {FieldType::String, QStringLiteral("0"), false},
        {FieldType::String, QStringLiteral("yes"), false},
        {FieldType::Memo, QStringLiteral("T"), true},
        {FieldType::WideString, QStringLiteral("12"), true},
        {FieldType::FixedChar, QString(), false},
        {FieldType::String, QVariant(), false},
        {FieldType::Integer, qlonglong(0), false},
        {FieldType::SmallInt, qlonglong(-3), true},
        {FieldType::LargeInt, qlonglong(1) << 40, true},
        {FieldType::Float, 0.0, false},
        {FieldType::Currency, 0.25, true},
        {FieldType::Boolean, true, true},
        {FieldType::Boolean, false, false},
    };
    for (const auto &c : cases) {
        FakeField f(QStringLiteral("flag"), c.type, c.value);
        EXPECT_EQ(FieldAsBool(&f), c.expected)
            << FieldTypeName(c.type).toStdString() << " " << c.value.toString().toStdString();
    }
}

TEST(FieldAsBool, OnlyTheBooleanReadingIsForgiven)
{
    FailingField boolean(FieldType::Boolean, true, true, false);
    EXPECT_FALSE(FieldAsBool(&boolean));
    FailingField integer(FieldType::Integer, qlonglong(1), true, false);
    EXPECT_THROW(FieldAsBool(&integer), DbError);
}

TEST(SetFieldBool, StoresInTheFieldsOwnTermsAfterEdit)
{
    const struct
    {
        FieldType type;
        QVariant whenTrue, whenFalse;
    } cases[] = {
        {FieldType::String, QStringLiteral("1"), QStringLiteral("0")},
        {FieldType::FixedChar, QStringLiteral("1"), QStringLiteral("0")},
        {FieldType::Integer, qlonglong(1), qlonglong(0)},
        {FieldType::AutoInc, qlonglong(1), qlonglong(0)},
        {FieldType::BCD, 1.0, 0.0},
        {FieldType::Boolean, true, false},
    };
    for (const auto &c : cases) {
        for (const bool value : {true, false}) {
            RowsDataSet ds;
            FakeField &f = ds.add(QStringLiteral("flag"), c.type);
            SetFieldBool(ds, &f, value);
            EXPECT_EQ(f.Value(), value ? c.whenTrue : c.whenFalse) << FieldTypeName(c.type).toStdString();
            EXPECT_EQ(ds.log, QStringList{QStringLiteral("Edit")});
        }
    }
}

TEST(SetFieldBool, AlreadyEditingAndFailedBooleanWriting)
{
    RowsDataSet ds;
    ds.state = DataSetState::Insert;
    FailingField f(FieldType::Date, 5.0, false, true);
    SetFieldBool(ds, &f, true);
    EXPECT_TRUE(f.IsNull());
    EXPECT_TRUE(ds.log.isEmpty());
}

} // namespace
