// The instruction lines end inside the window in the font it chose, at a
// legible size. ctest runs this in the C and the Japanese locale.
#include "app/Form1.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QLocale>

namespace {

constexpr int kLegibleGlyphHeight = 9;

TEST(LabelFit, InstructionLinesEndInsideTheWindow) {
    if (qEnvironmentVariable("LANG").startsWith(QLatin1String("ja"))) {
        ASSERT_EQ(QLocale().language(), QLocale::Japanese);
    }
    Form1 form;
    for (const char* name : {"Label1", "Label2"}) {
        SCOPED_TRACE(name);
        const auto* label = form.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr);
        const QRect shown = label->geometry().intersected(form.rect());
        const int visibleWidth = shown.width() - label->contentsMargins().left() - label->contentsMargins().right();
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), visibleWidth);
        EXPECT_LE(metrics.height(), shown.height());
        EXPECT_GE(metrics.tightBoundingRect(QStringLiteral(u"棟")).height(), kLegibleGlyphHeight);
    }
}

} // namespace
