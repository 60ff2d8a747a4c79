// The up-down control on its own: range, position, its buddy's text and the arrows.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "updown_control.h"

namespace qttest {
namespace {

using tsyqt::UpDownControl;
using win::MAKELONG;

constexpr win::DWORD kOptionsStyle =
    win::UDS_ARROWKEYS | win::UDS_AUTOBUDDY | win::UDS_ALIGNRIGHT | win::UDS_SETBUDDYINT;

// A buddy box and a spinner as a dialog lays them out, with the range 3..25.
struct Spinner {
    explicit Spinner(win::DWORD style = kOptionsStyle, win::LPARAM range = MAKELONG(25, 3)) {
        buddy = new QLineEdit(&dialog);
        buddy->setGeometry(100, 40, 60, 24);
        control = new UpDownControl(style, &dialog);
        control->setGeometry(150, 40, 16, 22);
        control->SetBuddy(buddy);
        control->SetRange(range);
    }
    int Position() const {
        return win::LOWORD(static_cast<std::uintptr_t>(control->GetPosition()));
    }
    bool PositionFlagsError() const {
        return win::HIWORD(static_cast<std::uintptr_t>(control->GetPosition())) != 0;
    }

    QWidget dialog;
    QLineEdit* buddy;
    UpDownControl* control;
};

struct SetPosCase {
    win::WORD requested;
    int position;
};

class SetPositionTest : public ::testing::TestWithParam<SetPosCase> {};

TEST_P(SetPositionTest, KeepsThePositionInRangeAndWritesItIntoTheBuddy) {
    Spinner spinner;
    spinner.control->SetPosition(MAKELONG(10, 0));
    const win::LRESULT previous = spinner.control->SetPosition(MAKELONG(GetParam().requested, 0));
    EXPECT_EQ(previous, 10);
    EXPECT_EQ(spinner.buddy->text(), QString::number(GetParam().position));
    EXPECT_EQ(spinner.Position(), GetParam().position);
    EXPECT_FALSE(spinner.PositionFlagsError());
}

INSTANTIATE_TEST_SUITE_P(Requested, SetPositionTest,
                         ::testing::Values(SetPosCase{0, 3}, SetPosCase{2, 3}, SetPosCase{3, 3},
                                           SetPosCase{17, 17}, SetPosCase{25, 25},
                                           SetPosCase{26, 25}, SetPosCase{40, 25},
                                           SetPosCase{0x7FFF, 25},
                                           SetPosCase{0xFFFF, 3},  // -1 in 16 bits
                                           SetPosCase{0x8000, 3}),
                         [](const ::testing::TestParamInfo<SetPosCase>& info) {
                             return "Requested" + std::to_string(info.param.requested);
                         });

struct TypedCase {
    const char* name;
    const char* typed;
    int position;
    bool error;
};

class TypedPositionTest : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedPositionTest, ReadingThePositionTakesATypedNumberInRangeOrFlagsTheText) {
    Spinner spinner;
    spinner.control->SetPosition(MAKELONG(5, 0));
    spinner.buddy->setText(QString::fromLatin1(GetParam().typed));
    EXPECT_EQ(spinner.PositionFlagsError(), GetParam().error);
    EXPECT_EQ(spinner.Position(), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, TypedPositionTest,
    ::testing::Values(TypedCase{"Seven", "7", 7, false}, TypedCase{"TheLowerLimit", "3", 3, false},
                      TypedCase{"TheUpperLimit", "25", 25, false},
                      TypedCase{"AboveTheRange", "30", 5, true},
                      TypedCase{"BelowTheRange", "2", 5, true},
                      TypedCase{"Negative", "-4", 5, true}, TypedCase{"Letters", "abc", 5, true},
                      TypedCase{"TrailingLetter", "7x", 5, true}, TypedCase{"Empty", "", 5, true},
                      TypedCase{"TooLongForAnInteger", "99999999999999999999", 5, true}),
    [](const ::testing::TestParamInfo<TypedCase>& info) { return info.param.name; });

TEST(UpDownControl, ArrowsStepOneAtATimeAndStopAtTheLimits) {
    Spinner spinner;
    spinner.control->SetPosition(MAKELONG(24, 0));
    QStringList shown;
    for (QToolButton* arrow :
         {spinner.control->UpArrow(), spinner.control->UpArrow(), spinner.control->DownArrow()}) {
        QTest::mouseClick(arrow, Qt::LeftButton);
        shown << spinner.buddy->text();
    }
    spinner.control->SetPosition(MAKELONG(4, 0));
    for (int press = 0; press < 2; ++press) {
        QTest::mouseClick(spinner.control->DownArrow(), Qt::LeftButton);
        shown << spinner.buddy->text();
    }
    EXPECT_EQ(shown, (QStringList{"25", "25", "24", "3", "3"}));
}

TEST(UpDownControl, ArrowKeysInTheBuddyStepItOnlyWithArrowKeysStyle) {
    Spinner withKeys;
    withKeys.control->SetPosition(MAKELONG(10, 0));
    QTest::keyClick(withKeys.buddy, Qt::Key_Up);
    QTest::keyClick(withKeys.buddy, Qt::Key_Up);
    QTest::keyClick(withKeys.buddy, Qt::Key_Down);
    EXPECT_EQ(withKeys.buddy->text(), "11");

    Spinner withoutKeys(kOptionsStyle & ~win::UDS_ARROWKEYS);
    withoutKeys.control->SetPosition(MAKELONG(10, 0));
    QTest::keyClick(withoutKeys.buddy, Qt::Key_Up);
    EXPECT_EQ(withoutKeys.buddy->text(), "10");
}

TEST(UpDownControl, AnArrowCountsOnFromANumberTypedIntoTheBuddy) {
    Spinner spinner;
    spinner.control->SetPosition(MAKELONG(5, 0));
    spinner.buddy->setText("12");
    QTest::mouseClick(spinner.control->UpArrow(), Qt::LeftButton);
    EXPECT_EQ(spinner.buddy->text(), "13");
    spinner.buddy->setText("junk");
    QTest::mouseClick(spinner.control->UpArrow(), Qt::LeftButton);
    EXPECT_EQ(spinner.buddy->text(), "14") << "a text that is no position leaves the last one";
}

TEST(UpDownControl, WithTheUpperLimitBelowTheLowerTheUpArrowCountsDown) {
    Spinner spinner(kOptionsStyle, MAKELONG(3, 25));
    spinner.control->SetPosition(MAKELONG(10, 0));
    QTest::mouseClick(spinner.control->UpArrow(), Qt::LeftButton);
    EXPECT_EQ(spinner.buddy->text(), "9");
}

TEST(UpDownControl, WithoutBuddyIntegersTheBuddysTextIsLeftAlone) {
    Spinner spinner(kOptionsStyle & ~win::UDS_SETBUDDYINT);
    spinner.buddy->setText("hello");
    spinner.control->SetPosition(MAKELONG(9, 0));
    EXPECT_EQ(spinner.buddy->text(), "hello");
    EXPECT_EQ(spinner.Position(), 9);
    EXPECT_FALSE(spinner.PositionFlagsError());
}

TEST(UpDownControl, AlignedRightItTakesTheBuddysRightEndAndItsHeight) {
    Spinner spinner;
    EXPECT_EQ(spinner.buddy->geometry(), QRect(100, 40, 44, 24));
    EXPECT_EQ(spinner.control->geometry(), QRect(144, 40, 16, 24));
}

TEST(UpDownControl, IsNoTabStopAndItsArrowsTakeNoFocus) {
    Spinner spinner;
    EXPECT_EQ(spinner.control->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(spinner.control->UpArrow()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(spinner.control->DownArrow()->focusPolicy(), Qt::NoFocus);
}

}  // namespace
}  // namespace qttest
