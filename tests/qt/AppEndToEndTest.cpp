// The desktop application end to end on the offscreen platform: the real window, dialogs,
// progress panel, worker and job; the test answers the window-modal dialogs as a user would.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <thread>

#include "qt/DesktopApp.h"
#include "qt/ProgressSheet.h"
#include "qt/QtTranslations.h"
#include "util/Strings.h"

namespace quillane::qt {
namespace {

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Answers the next modal dialog that the answer accepts.
void answerNextModal(std::function<bool(QWidget*)> answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, answer = std::move(answer)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && answer(modal)) {
      poll->stop();
      poll->deleteLater();
    }
  });
  poll->start(50);
}

// Types the name into the file panel, after noting where it started and what it proposed;
// with nextType, picks the next file type first, as a user would.
void answerFilePanel(const QString& name, QString* startFolder = nullptr,
                     QString* proposed = nullptr, bool nextType = false) {
  answerNextModal([=](QWidget* modal) {
    auto* panel = qobject_cast<QFileDialog*>(modal);
    auto* field = panel ? panel->findChild<QLineEdit*>("fileNameEdit") : nullptr;
    if (field == nullptr) return false;
    if (startFolder) *startFolder = panel->directory().absolutePath();
    if (proposed) *proposed = field->text();
    if (nextType) QTest::keyClick(panel->findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);
    field->setText(name);
    QMetaObject::invokeMethod(panel, "accept");
    return !panel->isVisible();
  });
}

// Notes the next alert's texts and answers it with Enter, once the keyboard focus has reached
// it (which must happen within a second).
void answerAlert(QString* message, QString* detail) {
  answerNextModal([=, polls = 0](QWidget* modal) mutable {
    auto* alert = qobject_cast<QMessageBox*>(modal);
    QWidget* focus = QApplication::focusWidget();
    const bool focused = alert && focus && alert->isAncestorOf(focus);
    if (alert == nullptr || (!focused && ++polls < 20)) return false;
    *message = alert->text(), *detail = alert->informativeText();
    EXPECT_TRUE(focused) << "the alert has the keyboard focus";
    QTest::keyClick(focused ? focus : alert, Qt::Key_Return);
    return true;
  });
}

void writeImage(const QString& path, QSize size, QColor colour) {
  QImage image(size, QImage::Format_ARGB32);
  image.fill(colour);
  ASSERT_TRUE(image.save(path));
}

struct AppFixture : ::testing::Test {
  AppFixture() {
    QSettings().clear();
    QSettings().setValue("DST_DIR", output.path());
    writeImage(source.filePath("a.png"), {40, 30}, Qt::red);
    writeImage(source.filePath("b.png"), {40, 30}, Qt::green);
    writeImage(source.filePath("c.bmp"), {50, 20}, Qt::blue);
    app = std::make_unique<DesktopApp>([this](JobRequest r, JobProgress& p, std::stop_token s) {
      return job(std::move(r), p, s);
    });
    app->show({source.path()});
    window().activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window()));
  }
  ~AppFixture() override { QSettings().clear(); }

  template <typename T = QWidget>
  T* find(const char* name) {
    return window().findChild<T*>(name);
  }
  MainWindow& window() { return app->window(); }
  Controller& controller() { return app->controller(); }
  QString text(const char* label) { return find<QLabel>(label)->text(); }
  bool idle() {
    return window().progressPanel().isHidden() && find<QAction>("actionProcess")->isEnabled();
  }

  QTemporaryDir source, output;
  Controller::JobFunction job = runJob;
  std::unique_ptr<DesktopApp> app;
};

TEST_F(AppFixture, EnterProcessesTheFolderAsItsSummarySaysIntoTheProposedDocument) {
  ASSERT_TRUE(
      waitFor([&] { return text("sourceSummary") == "3 images · 40 × 30 canvas, from a.png"; }));
  writeImage(source.filePath("0.png"), {64, 48}, Qt::black);  // the summary follows the folder
  ASSERT_TRUE(
      waitFor([&] { return text("sourceSummary") == "4 images · 64 × 48 canvas, from 0.png"; }));
  QString startFolder, proposed;
  answerFilePanel("layers", &startFolder, &proposed);
  QTest::keyClick(&window(), Qt::Key_Return);  // Process… is the default button

  ASSERT_TRUE(waitFor([&] { return idle() && find("revealButton")->isVisible(); }));
  EXPECT_EQ(startFolder, output.path()) << "the panel starts in the last output folder";
  EXPECT_EQ(proposed, QFileInfo(source.path()).fileName() + ".psd");
  EXPECT_EQ(text("resultLine"), "Saved layers.psd — 4 layers, 64 × 48");
}

TEST_F(AppFixture, StopIsInTheMenuWhileTheProgressPanelShows) {
  job = [](JobRequest request, JobProgress&, std::stop_token stop) {
    while (!stop.stop_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return JobResult(JobOutcome{true, request.outputPath, 0, {}});
  };
  answerFilePanel("held");
  find<QPushButton>("processButton")->click();
  ASSERT_TRUE(waitFor([&] { return window().progressPanel().isVisible(); }));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the panel blocks nothing";
  EXPECT_FALSE(find("content")->isEnabled());

  auto* file = find<QMenu>("menuFile");
  QTest::mouseClick(window().menuBar(), Qt::LeftButton, {},
                    window().menuBar()->actionGeometry(file->menuAction()).center());
  ASSERT_TRUE(waitFor([&] { return file->isVisible(); }));
  auto* stop = find<QAction>("actionStop");
  EXPECT_TRUE(stop->isEnabled());
  QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(stop).center());

  ASSERT_TRUE(waitFor([&] { return idle() && find("content")->isEnabled(); }));
  EXPECT_EQ(text("resultLine"), "Stopped — nothing was written");
  EXPECT_FALSE(QFileInfo::exists(output.filePath("held.psd")));
}

TEST_F(AppFixture, UnreadableFileIsReportedInAnAlertThatTakesTheKeyboard) {
  std::ofstream(source.filePath("b2.png").toStdString()) << "this is no PNG";
  QString message, detail;
  answerFilePanel("broken.psd");
  answerAlert(&message, &detail);
  find<QPushButton>("processButton")->click();

  ASSERT_TRUE(waitFor([&] { return !message.isEmpty() && idle(); }));
  EXPECT_EQ(message.toStdString(), localizedString("IMAGE_READ_ERROR"));
  EXPECT_EQ(detail.toStdString(), source.filePath("b2.png").toStdString() + "\n\n" +
                                      localizedString("REPLACE_FILE_ADVICE"));
  EXPECT_EQ(text("resultLine"), "Not saved — b2.png cannot be read");
  EXPECT_FALSE(QFileInfo::exists(output.filePath("broken.psd")));
}

// A drop is taken as a copy, never as a move (after which the source may delete what was
// dragged); a dropped image file opens its folder.
TEST_F(AppFixture, DropIsACopyAndADroppedImageOpensItsFolderWhichThePsbTypeSavesAsPsb) {
  QTemporaryDir other;
  writeImage(other.filePath("d.png"), {30, 20}, Qt::red);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(other.filePath("d.png"))});
  const QPoint middle = window().rect().center();
  QDragEnterEvent enter(middle, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                        Qt::LeftButton, {});
  enter.setDropAction(Qt::MoveAction);
  QApplication::sendEvent(&window(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
  QDropEvent drop(middle, Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(&window(), &drop);
  EXPECT_EQ(drop.dropAction(), Qt::LinkAction);
  EXPECT_EQ(controller().sourceFolder(), other.path().toStdString());

  ASSERT_TRUE(waitFor([&] { return text("sourceSummary").startsWith("1 image"); }));
  answerFilePanel("big", nullptr, nullptr, true);
  find<QPushButton>("processButton")->click();
  ASSERT_TRUE(waitFor([&] { return idle() && find("revealButton")->isVisible(); }));
  EXPECT_EQ(text("resultLine"), "Saved big.psb — 1 layer, 30 × 20");
}

TEST_F(AppFixture, WindowNeverShrinksBelowItsControlsNorComesBackSmaller) {
  find<QAbstractButton>("optionsButton")->click();  // shrink
  ASSERT_TRUE(waitFor([&] { return window().height() == MainWindow::kShrunkHeight; }));
  window().resize(200, 100);
  EXPECT_EQ(window().size(), window().minimumSize());
  window().close();  // keeps the geometry
  DesktopApp second;
  second.show({});
  EXPECT_EQ(second.window().size(), second.window().minimumSize());
  EXPECT_FALSE(second.window().findChild<QWidget*>("optionBox")->isVisible())
      << "shrunk: no option area";
}

TEST_F(AppFixture, ChosenFolderComesBackFromOpenRecentUntilItIsGone) {
  QTemporaryDir other;
  answerFilePanel(other.path());
  find<QPushButton>("chooseSourceButton")->click();
  ASSERT_TRUE(waitFor([&] { return controller().sourceFolder() == other.path().toStdString(); }));
  EXPECT_EQ(text("sourcePath"), other.path());
  EXPECT_EQ(QSettings().value("SRC_DIR").toString(), other.path());
  ASSERT_TRUE(waitFor([] { return QApplication::activeModalWidget() == nullptr; }));

  const auto recentEntry = [&](const QString& folder) -> QAction* {
    for (QAction* action : find<QMenu>("menuOpenRecent")->actions())
      if (action->data() == folder) return action;
    return nullptr;
  };
  EXPECT_NE(recentEntry(source.path()), nullptr) << "a folder given on the command line";
  for (const bool gone : {false, true}) {
    controller().openFolder(source.path().toStdString());
    if (gone) other.remove();
    QString message, refused;
    if (gone) answerAlert(&message, &refused);
    ASSERT_NE(recentEntry(other.path()), nullptr);
    recentEntry(other.path())->trigger();
    if (gone) {
      ASSERT_TRUE(waitFor([&] { return !refused.isEmpty(); })) << "the alert says why";
    }
    EXPECT_EQ(controller().sourceFolder(), (gone ? source : other).path().toStdString());
    EXPECT_EQ(refused, gone ? other.path() : QString());
  }
  EXPECT_EQ(recentEntry(other.path()), nullptr) << "a folder that is gone leaves the menu";
}

// Last: the translations stay loaded.
TEST(QtTexts, QtsOwnDialogTextsComeInJapanese) {
  ASSERT_TRUE(installQtTranslations("ja"));
  EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
}

}  // namespace
}  // namespace quillane::qt

int main(int argc, char** argv) {
  // Settings go to a folder of the test's own, never to the user's.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The test answers the Qt dialogs themselves, not a platform dialog.
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  // A test closes its window to keep the geometry; the next test runs on.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setOrganizationName("QuillaneTest");
  QApplication::setApplicationName("quillane-app-test");
  quillane::qt::installQtTranslations(quillane::languageFromEnvironment());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
