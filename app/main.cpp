#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/AppIcon.h"
#include "app/MainForm.h"
#include "app/ProgramOptions.h"
#include "app/ScreenshotHook.h"
#include "app/about/AboutBox.h"
#include "app/widgets/DesignFont.h"
#include "app/widgets/VersionInfo.h"
#include "tools/engine-sim/DemoEngines.h"

int main(int argc, char** argv) {
  // Read before the application object exists: --help and --version need no display.
  const quellion::TProgramOptions options =
      quellion::TProgramOptions::Parse(std::vector<std::string>(argv, argv + argc));
  switch (options.Action) {
    case quellion::TProgramOptions::TAction::Help:
      std::fputs(quellion::ProgramUsage(), stdout);
      return 0;
    case quellion::TProgramOptions::TAction::Version:
      std::printf("quellion %s\n",
                  quellion::TVersionInfo::FromBuild().FileVersionText().toStdString().c_str());
      return 0;
    case quellion::TProgramOptions::TAction::BadUsage:
      std::fprintf(stderr, "quellion: %s\n\n%s", options.Error.c_str(), quellion::ProgramUsage());
      return 2;
    case quellion::TProgramOptions::TAction::Run:
      break;
  }

  // Under Wayland with XWayland, X11: there the bar can reserve its strip of the screen.
  const std::string platform =
      quellion::PreferredPlatform(options, std::getenv("QT_QPA_PLATFORM"),
                                  std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"));
  if (!platform.empty())
    qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwick Quellion 2"));
  QApplication::setDesktopFileName(QStringLiteral("org.tarnwick.Quellion"));
  QApplication::setWindowIcon(quellion::ApplicationIcon());
  QApplication::setFont(quellion::DesignFont());
  // The help file name the program has always carried; the help shown is the bundled HTML.
  application.setProperty("helpFile", QString::fromLatin1(quellion::TMainForm::kHelpFile));

  // --demo: the bundled engine simulator answers for every engine; it outlives the window.
  std::unique_ptr<quellion::TDemoEngines> demo;
  if (options.Demo) {
    try {
      demo = std::make_unique<quellion::TDemoEngines>();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "quellion: the demo engines could not start: %s\n", e.what());
      return 1;
    }
  }
  auto form =
      demo ? std::make_unique<quellion::TMainForm>(*demo) : std::make_unique<quellion::TMainForm>();
  quellion::TMainForm& mainForm = *form;
  // Created with the main window and never shown, as the program always has.
  quellion::TAboutBox hiddenAboutBox;
  QObject::connect(&mainForm, &quellion::TMainForm::closed, &application, &QApplication::quit,
                   Qt::QueuedConnection);
  quellion::TScreenshotHook* screenshot = quellion::TScreenshotHook::Install(mainForm);
  mainForm.show();
  const int status = QApplication::exec();
  return screenshot ? screenshot->ExitCode() : status;
}
