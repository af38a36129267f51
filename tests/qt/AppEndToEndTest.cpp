// The desktop application end to end on the offscreen platform: the real windows, panels,
// sheet, worker and job; the test answers the modal panels as a user would.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "qt/MainWindow.h"
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

// Answers the next modal dialog that the answer accepts, from the event loop of its exec().
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

void answerSavePanel(const QString& path) {
  answerNextModal([path](QWidget* modal) {
    auto* panel = qobject_cast<QFileDialog*>(modal);
    if (panel == nullptr) return false;
    // Typed into the name field, as a user would: selectFile() drops a name that does not
    // exist yet while the folder is still being read.
    auto* name = panel->findChild<QLineEdit*>("fileNameEdit");
    if (name == nullptr) return false;
    panel->setDirectory(QFileInfo(path).absolutePath());
    name->setText(QFileInfo(path).fileName());
    QMetaObject::invokeMethod(panel, "accept");
    return !panel->isVisible();
  });
}

// Layer names of a PSD file as psd-tools reads them, one a line; empty when it cannot.
QStringList psdLayerNames(const QString& path) {
  QProcess python;
  python.start("/usr/bin/python3",
               {"-c",
                "import sys\nfrom psd_tools import PSDImage\n"
                "psd = PSDImage.open(sys.argv[1])\n"
                "print(psd.width, psd.height)\n"
                "for layer in psd: print(layer.name)\n",
                path});
  python.waitForFinished(60000);
  if (python.exitCode() != 0) return {};
  return QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

void writeImage(const QString& path, QSize size, QColor colour) {
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::white);
  for (int y = size.height() / 4; y < size.height() * 3 / 4; ++y)
    for (int x = size.width() / 4; x < size.width() * 3 / 4; ++x) image.setPixelColor(x, y, colour);
  ASSERT_TRUE(image.save(path));
}

struct AppFixture : ::testing::Test {
  AppFixture() {
    QSettings().clear();
    writeImage(source.filePath("a.png"), {40, 30}, Qt::red);
    writeImage(source.filePath("b.png"), {40, 30}, Qt::green);
    writeImage(source.filePath("c.bmp"), {50, 20}, Qt::blue);
    window.launch({source.path()});
  }
  ~AppFixture() override {
    controller.applicationWillTerminate();
    QSettings().clear();
  }

  template <typename T>
  T* find(const char* name) {
    T* widget = window.findChild<T*>(name);
    if (widget == nullptr) widget = window.sheet().findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  QTemporaryDir source;
  QTemporaryDir output;
  AppDelegate controller;
  MainWindow window{controller};
};

TEST_F(AppFixture, ProcessesAFolderIntoALayeredDocument) {
  EXPECT_EQ(find<QLineEdit>("pathCtrlSource")->text(), source.path());
  EXPECT_TRUE(find<QRadioButton>("radio0")->isChecked());
  EXPECT_FALSE(find<QAction>("actionStop")->isEnabled());
  find<QRadioButton>("radio1")->click();
  EXPECT_EQ(controller.optionTransparent, 1);

  const QString psd = output.filePath("layers.psd");
  answerSavePanel(psd);
  find<QPushButton>("btnProcess")->click();  // returns once the job is handed to the worker

  ASSERT_TRUE(waitFor([&] { return window.sheet().isHidden() && controller.progressFinished; }));
  ASSERT_TRUE(waitFor([&] { return find<QAction>("actionProcess")->isEnabled(); }));
  EXPECT_FALSE(find<QAction>("actionStop")->isEnabled());
  EXPECT_TRUE(find<QPushButton>("btnSourceSelect")->isEnabled());
  EXPECT_EQ(find<QLineEdit>("pathCtrlProgressDst")->text(), psd);
  EXPECT_EQ(QSettings().value("DST_DIR").toString(), output.path());

  ASSERT_TRUE(QFileInfo::exists(psd));
  const QStringList read = psdLayerNames(psd);
  EXPECT_EQ(read, (QStringList{"40 30", "a.png", "b.png", "c.bmp"}));
}

TEST_F(AppFixture, UnreadableFileIsReportedAndNoDocumentWritten) {
  QFile broken(source.filePath("b2.png"));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("this is no PNG");
  broken.close();

  QString message, detail;
  answerSavePanel(output.filePath("broken.psd"));
  answerNextModal([&](QWidget* modal) {
    auto* alert = qobject_cast<QMessageBox*>(modal);
    if (alert == nullptr) return false;
    message = alert->text();
    detail = alert->informativeText();
    alert->accept();
    return true;
  });
  find<QPushButton>("btnProcess")->click();

  ASSERT_TRUE(waitFor([&] { return !message.isEmpty(); }));
  ASSERT_TRUE(waitFor([&] { return window.sheet().isHidden(); }));
  EXPECT_EQ(message.toStdString(), localizedString("IMAGE_READ_ERROR"));
  EXPECT_EQ(detail, source.filePath("b2.png"));
  EXPECT_FALSE(QFileInfo::exists(output.filePath("broken.psd")));
  ASSERT_TRUE(waitFor([&] { return find<QAction>("actionProcess")->isEnabled(); }));
}

TEST_F(AppFixture, WindowFormAndOptionPersistAcrossLaunches) {
  find<QRadioButton>("radio2")->click();
  auto* toggle = window.findChild<QAbstractButton*>("btnUpDown");
  ASSERT_NE(toggle, nullptr);
  toggle->click();  // shrink
  ASSERT_TRUE(waitFor([&] { return window.height() == int(AppDelegate::kShrunkHeight); }));

  AppDelegate again;
  MainWindow second(again);
  second.launch({});
  EXPECT_EQ(again.optionTransparent, 2);
  EXPECT_TRUE(second.findChild<QRadioButton*>("radio2")->isChecked());
  EXPECT_FALSE(second.findChild<QAbstractButton*>("btnUpDown")->isChecked());
  EXPECT_EQ(second.height(), int(AppDelegate::kShrunkHeight));
  EXPECT_FALSE(second.findChild<QWidget*>("boxOption")->isVisible()) << "shrunk: no option area";
  EXPECT_TRUE(second.findChild<QWidget*>("btnProcess")->isVisible());
  EXPECT_EQ(again.srcPath, source.path().toStdString());
  again.applicationWillTerminate();
}

TEST_F(AppFixture, ChosenFolderComesBackFromOpenRecent) {
  QTemporaryDir other;
  answerNextModal([&](QWidget* modal) {
    auto* panel = qobject_cast<QFileDialog*>(modal);
    auto* name = panel ? panel->findChild<QLineEdit*>("fileNameEdit") : nullptr;
    if (name == nullptr) return false;
    name->setText(other.path());
    QMetaObject::invokeMethod(panel, "accept");
    return !panel->isVisible();
  });
  find<QPushButton>("btnSourceSelect")->click();
  ASSERT_TRUE(waitFor([&] { return controller.srcPath == other.path().toStdString(); }));
  EXPECT_EQ(QSettings().value("SRC_DIR").toString(), other.path());
  ASSERT_TRUE(waitFor([] { return QApplication::activeModalWidget() == nullptr; }));

  // Back to the first folder from outside, then to the chosen one from the recent menu.
  controller.applicationOpenFile(source.path().toStdString());
  EXPECT_EQ(controller.srcPath, source.path().toStdString());

  auto* recent = window.findChild<QMenu*>("menuOpenRecent");
  ASSERT_NE(recent, nullptr);
  QAction* entry = nullptr;
  for (QAction* action : recent->actions())
    if (action->text() == other.path()) entry = action;
  ASSERT_NE(entry, nullptr) << "the chosen folder is listed";
  entry->trigger();
  EXPECT_EQ(controller.srcPath, other.path().toStdString());
  EXPECT_EQ(find<QLineEdit>("pathCtrlSource")->text(), other.path());
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
  QApplication::setOrganizationName("QuillaneTest");
  QApplication::setApplicationName("quillane-app-test");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
