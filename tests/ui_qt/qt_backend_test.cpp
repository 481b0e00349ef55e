// The Qt back end under QT_QPA_PLATFORM=offscreen: real widgets, real events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/colour_select_window.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/qt_renderer.h"
#include "ui/qt/qt_window.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list.h"

// Fontconfig keeps a cache for the life of the process; it is not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace q731 {
namespace {

class Window : public WindowImplBase {
public:
    Window(std::string layout, UiLoop& loop) : WindowImplBase(loop), layout_(std::move(layout)) {}
    std::string GetWindowClassName() const override { return "QtTestWnd"; }
    std::string GetSkinFile() override { return layout_; }
    void Notify(TNotifyUI& msg) override {
        if (msg.sType != "windowinit" && msg.sType != "windowsize") {
            seen.push_back(msg.sType + ":" + (msg.pSender ? msg.pSender->GetName() : ""));
            if (auto* edit = dynamic_cast<CEditUI*>(msg.pSender);
                edit && msg.sType == "killfocus") {
                committed = edit->GetText();
            }
        }
        WindowImplBase::Notify(msg);
    }
    QWidget* Widget() { return static_cast<QtWindowBackend*>(GetBackend())->Widget(); }
    QPoint CenterOf(const std::string& name) {
        m_pm.UpdateLayout();
        const UiRect& rc = m_pm.FindControl(name)->GetPos();
        return QPoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    }

    std::vector<std::string> seen;
    std::string committed;

private:
    std::string layout_;
};

class QtBackend : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "ui_qt_tests";
        static char* argv[] = {name, nullptr};
        PrepareQtEnvironment();
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }
    QtBackend() : platform_(loop_) { SetUiPlatform(&platform_); }
    ~QtBackend() override { SetUiPlatform(nullptr); }

    std::unique_ptr<Window> Open(const std::string& body) {
        auto window = std::make_unique<Window>(
            "<Window size='300,200' caption='0,0,0,30'>" + body + "</Window>", loop_);
        EXPECT_TRUE(window->Create(nullptr, "qt-test", kWsPopup | kWsVisible));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window->Widget()));
        QCoreApplication::processEvents();
        return window;
    }

    static QApplication* app_;
    UiLoop loop_;
    QtUiPlatform platform_;
};
QApplication* QtBackend::app_ = nullptr;

TEST_F(QtBackend, AClickAtAControlsCoordinatesSendsClickFromThatControl) {
    auto window = Open(
        "<VerticalLayout><Control height='30'/><HorizontalLayout height='40'><Button name='left'/>"
        "<Button name='right'/></HorizontalLayout><Control/></VerticalLayout>");
    QTest::mouseClick(window->Widget(), Qt::LeftButton, {}, window->CenterOf("right"));
    QCoreApplication::processEvents();
    EXPECT_EQ(window->seen, (std::vector<std::string>{"click:right"}));
}

TEST_F(QtBackend, TypingIntoAnEditCommitsOnFocusLossWithKillFocus) {
    auto window = Open(
        "<VerticalLayout><Control height='30'/><Edit name='name' height='30' bkcolor='#FFFFFFFF'/>"
        "<Button name='other' height='30'/><Control/></VerticalLayout>");
    QTest::mouseClick(window->Widget(), Qt::LeftButton, {}, window->CenterOf("name"));
    auto* field = window->Widget()->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->isVisible());
    QTest::keyClicks(field, "Q731");
    QTest::mouseClick(window->Widget(), Qt::LeftButton, {}, window->CenterOf("other"));
    QCoreApplication::processEvents();
    EXPECT_EQ(window->committed, "Q731");
    EXPECT_EQ(window->GetPaintManager()->FindControl("name")->GetText(), "Q731");
    EXPECT_EQ(window->seen,
              (std::vector<std::string>{"setfocus:name", "textchanged:name", "textchanged:name",
                                        "textchanged:name", "textchanged:name", "killfocus:name",
                                        "click:other"}));
}

TEST_F(QtBackend, ComboDropDownChoosesAnItemWithItemSelect) {
    auto window = Open(
        "<VerticalLayout><Control height='30'/><Combo name='combo' height='30'>"
        "<ListLabelElement text='a'/><ListLabelElement text='hidden' visible='false'/>"
        "<ListLabelElement text='b'/></Combo><Control/></VerticalLayout>");
    QTest::mouseClick(window->Widget(), Qt::LeftButton, {}, window->CenterOf("combo"));
    auto* list = window->Widget()->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);  // the hidden item is not offered
    QListWidgetItem* b = list->item(1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(b).center());
    QCoreApplication::processEvents();
    auto* combo = dynamic_cast<CComboUI*>(window->GetPaintManager()->FindControl("combo"));
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(window->seen, (std::vector<std::string>{"dropdown:combo", "itemselect:combo"}));
}

TEST_F(QtBackend, TheUiLoopRunsInsideTheQtEventLoop) {
    bool posted = false;
    int ticks = 0;
    std::thread worker([&] { loop_.Post([&] { posted = true; }); });
    worker.join();
    loop_.SetTimer(this, 1, Millis(10), [&] { ++ticks; });
    QTRY_VERIFY_WITH_TIMEOUT(posted && ticks >= 3, 5000);
    loop_.KillTimer(this, 1);
}

TEST_F(QtBackend, CloseFromAClickEndsTheModalLoopWithItsCode) {
    class Box : public Window {
    public:
        using Window::Window;
        void Notify(TNotifyUI& msg) override {
            if (msg.sType == "click") Close(msg.pSender->GetName() == "confirm_btn" ? 1 : 0);
            Window::Notify(msg);
        }
    };
    auto box = std::make_unique<Box>("<Window size='200,100'><Button name='confirm_btn'/></Window>",
                                     loop_);
    ASSERT_TRUE(box->Create(nullptr, "box"));
    QWidget* widget = box->Widget();
    QTimer::singleShot(50, widget,
                       [&] { QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(100, 50)); });
    EXPECT_EQ(box->ShowModal(), 1);
}

// The palette is closed from the window manager (Alt+F4): only its modal run
// ends, with 0; the window that opened it and the event loop carry on.
TEST_F(QtBackend, AWindowManagerCloseEndsOnlyThePaletteAtItsScale) {
    const std::string previous = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath(Q731_SOURCE_DIR "/skin");
    QTemporaryDir folder;
    auto owner = Open("<VerticalLayout/>");
    CColorSelectWnd palette(loop_, folder.path().toStdString(), {});
    ASSERT_TRUE(palette.Create(owner.get(), "PalletDialog", kWsPopup, kWsExToolWindow));
    palette.SetScale(144);
    QWidget* widget = static_cast<QtWindowBackend*>(palette.GetBackend())->Widget();
    QSize shown;
    QTimer::singleShot(100, widget, [&] {
        shown = widget->size();
        widget->close();
    });
    EXPECT_EQ(palette.Run(), 0);
    EXPECT_EQ(shown, QSize(1200, 858));
    EXPECT_TRUE(owner->Widget()->isVisible());
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired; }, 1000));
    CPaintManagerUI::SetResourcePath(previous);
}

TEST_F(QtBackend, ImagesDrawWithSourceFadeAndMask) {
    QTemporaryDir dir;
    QImage source(4, 4, QImage::Format_ARGB32);
    source.fill(QColor(255, 0, 255));
    source.setPixelColor(0, 0, QColor(0, 0, 255));
    ASSERT_TRUE(source.save(dir.filePath("img.png")));
    QImage target(8, 8, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    {
        QPainter painter(&target);
        QtRenderer renderer(painter);
        auto info = ParseImageString("file='img.png' mask='#FF00FF' source='0,0,2,2'");
        ImageDraw draw{&*info, dir.filePath("img.png").toStdString(), {0, 0, 8, 8}, 1.0};
        EXPECT_TRUE(renderer.DrawImage(draw));
        auto faded = ParseImageString("file='none.png' fade='10'");
        ImageDraw missing{&*faded, dir.filePath("none.png").toStdString(), {0, 0, 8, 8}, 1.0};
        EXPECT_FALSE(renderer.DrawImage(missing));
    }
    EXPECT_EQ(target.pixelColor(1, 1), QColor(0, 0, 255));      // the blue source pixel, stretched
    EXPECT_EQ(target.pixelColor(6, 6), QColor(255, 255, 255));  // magenta keyed out
}

TEST_F(QtBackend, NineSliceKeepsCornersScaledAndHoleLeavesTheMiddle) {
    QTemporaryDir dir;
    // 6x6: a red 2-pixel frame around a green middle.
    QImage frame(6, 6, QImage::Format_ARGB32);
    frame.fill(QColor(255, 0, 0));
    for (int y = 2; y < 4; ++y) {
        for (int x = 2; x < 4; ++x)
            frame.setPixelColor(x, y, QColor(0, 255, 0));
    }
    ASSERT_TRUE(frame.save(dir.filePath("frame.png")));
    auto paint = [&](const char* text, double scale) {
        QImage target(60, 60, QImage::Format_ARGB32_Premultiplied);
        target.fill(Qt::white);
        QPainter painter(&target);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        QtRenderer renderer(painter);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        auto info = ParseImageString(text);
        ImageDraw draw{&*info, dir.filePath("frame.png").toStdString(), {0, 0, 60, 60}, scale};
        EXPECT_TRUE(renderer.DrawImage(draw));
        painter.end();
        return target;
    };
    QImage stretched = paint("file='frame.png' corner='2,2,2,2'", 1.5);
    EXPECT_EQ(stretched.pixelColor(1, 30), QColor(255, 0, 0));   // left edge stays thin...
    EXPECT_EQ(stretched.pixelColor(4, 30), QColor(0, 255, 0));   // ...3 px at 1.5x
    EXPECT_EQ(stretched.pixelColor(30, 30), QColor(0, 255, 0));  // the middle stretches
    QImage holed = paint("file='frame.png' corner='2,2,2,2' hole='true'", 1.0);
    EXPECT_EQ(holed.pixelColor(1, 30), QColor(255, 0, 0));
    EXPECT_EQ(holed.pixelColor(30, 30), QColor(255, 255, 255));  // nothing in the middle
    QImage tiled = paint("file='frame.png' xtiled='true' ytiled='true'", 1.0);
    EXPECT_EQ(tiled.pixelColor(8, 8), QColor(0, 255, 0));  // second tile's middle
}

TEST_F(QtBackend, SvgImagesRenderAtTheWindowScale) {
    QTemporaryDir dir;
    QFile svg(dir.filePath("dot.svg"));
    ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
    svg.write(
        "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>"
        "<rect width='10' height='10' fill='#0000ff'/></svg>");
    svg.close();
    QImage one = QtImageCache::Instance().Get(dir.filePath("dot.svg"), 1.0);
    QImage big = QtImageCache::Instance().Get(dir.filePath("dot.svg"), 1.5);
    EXPECT_EQ(one.size(), QSize(10, 10));
    EXPECT_EQ(big.size(), QSize(15, 15));
    EXPECT_EQ(big.pixelColor(7, 7), QColor(0, 0, 255));
    EXPECT_TRUE(QtImageCache::Instance().Get(dir.filePath("absent.svg"), 1.0).isNull());
}

}  // namespace
}  // namespace q731

namespace q731 {
namespace {

// Drives the next modal file dialog once it shows: `act` gets the dialog and
// the names it lists in its folder.
void WhenTheDialogShows(std::function<void(QFileDialog&, QStringList)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        QFileDialog* dialog = nullptr;
        (void)QTest::qWaitFor([&] {
            dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            return dialog != nullptr;
        });
        ASSERT_NE(dialog, nullptr);
        auto* view = dialog->findChild<QListView*>("listView");
        ASSERT_NE(view, nullptr);
        QStringList listed;
        (void)QTest::qWaitFor([&] {
            // The folder is read in the background.
            listed.clear();
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row)
                listed << view->model()->index(row, 0, root).data().toString();
            return listed.size() >= 2;
        });
        listed.sort();
        act(*dialog, listed);
    });
}

TEST_F(QtBackend, FileDialogsListFilesWithoutRegardToCaseAndSavingAddsTheExtension) {
    QTemporaryDir dir;
    for (const char* name : {"a.Json", "b.JSON", "c.txt"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    FileDialogOptions options;
    options.filter = "Profile Files (*.json)";
    options.defaultExtension = "json";
    options.directory = dir.path().toStdString();

    QStringList listed;
    WhenTheDialogShows([&](QFileDialog& dialog, QStringList names) {
        listed = names;
        // As the user types it into the dialog's name field.
        dialog.findChild<QLineEdit*>("fileNameEdit")->setText("a.Json");
        static_cast<QDialog&>(dialog).accept();  // what the dialog's own button does
    });
    const auto opened = platform_.OpenFile(nullptr, options);
    EXPECT_EQ(listed, (QStringList{"a.Json", "b.JSON"}));
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->filename(), "a.Json");

    options.replaceWithoutAsking = true;
    WhenTheDialogShows([](QFileDialog& dialog, QStringList) {
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
        dialog.findChild<QLineEdit*>("fileNameEdit")->setText("saved");
        static_cast<QDialog&>(dialog).accept();  // what the dialog's own button does
    });
    const auto saved = platform_.SaveFile(nullptr, options);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->filename(), "saved.json");
}

// Every interface family draws Latin, Chinese and Thai text with real glyphs,
// through an installed family or its stand-ins.
TEST_F(QtBackend, InterfaceFamiliesDrawEveryScriptTheyMeet) {
    const QString samples[] = {"Abc", QString::fromUtf8("中文配置"), QString::fromUtf8("ภาษาไทย")};
    for (const char* family :
         {"汉仪菱心体简", "Noto Sans CJK TC Regular", "Noto Sans Thai", "Arial"}) {
        const QFont font(QString::fromUtf8(family), 14);
        EXPECT_TRUE(QFontDatabase::hasFamily(QFontInfo(font).family())) << family;
        for (const QString& text : samples) {
            QTextLayout layout(text, font);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            int glyphs = 0;
            for (const QGlyphRun& run : layout.glyphRuns()) {
                for (quint32 glyph : run.glyphIndexes()) {
                    EXPECT_NE(glyph, 0u) << family << ": " << text.toStdString();
                    ++glyphs;
                }
            }
            EXPECT_GT(glyphs, 0) << family << ": " << text.toStdString();
        }
    }
}

}  // namespace
}  // namespace q731
