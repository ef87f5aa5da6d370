// The window's figures, on Qt's offscreen platform with every dialog answered
// by the dialog seam:
//   Generate/<text>/<logo>: one whole generation, from the click on
//     "生成二维码" to the composite in symbolHolder_, the read-back check included.
//   Stall/<text>/<logo>: the longest time the interface thread is busy
//     without a break during one generation (the click itself, every piece
//     of work it does, the report of the result).
//   StartUp: the main window built, loaded, shown and painted once.
// Times are wall time; see README.md for the process-level start-up figure.
#include "MainWindow.h"
#include "SingleInstance.h"
#include "WindowProbe.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace zub::bench {
namespace {

QTemporaryDir *scratch = nullptr;

QString ScratchFile(const QString &name) {
  return scratch->filePath(name);
}

// A photograph-like logo: smooth colour fields with fine grain, so that the
// JPEG decoder does the work a real photo asks of it. Written once per run.
QString LogoFile(int side) {
  const QString path = ScratchFile(QStringLiteral("logo-%1.jpg").arg(side));
  if (QFile::exists(path))
    return path;
  QImage image(side, side, QImage::Format_RGB32);
  QRandomGenerator grain(static_cast<quint32>(side));
  for (int y = 0; y < side; ++y) {
    auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < side; ++x) {
      const double u = double(x) / side, v = double(y) / side;
      const int noise = static_cast<int>(grain.bounded(24u)) - 12;
      auto channel = [noise](double f) {
        return std::clamp(static_cast<int>(127.5 + 120 * f) + noise, 0, 255);
      };
      row[x] = qRgb(channel(std::sin(7 * u + 3 * v)), channel(std::cos(5 * v - 2 * u)),
                    channel(std::sin(11 * u * v + 1)));
    }
  }
  if (!image.save(path, "JPG", 90))
    qFatal("cannot write %s", qPrintable(path));
  return path;
}

// The main window as a user meets it: loaded and shown, the logo chooser
// answering `logo`, every message box counted and answered.
struct Window {
  explicit Window(const QString &logo)
      : instance(ScratchFile(QStringLiteral("lock-%1").arg(++serial))) {
    form.services.pageAddress = QUrl();
    form.services.dialogs.openFile = [logo](const FileDialogRequest &) { return logo; };
    form.services.dialogs.message = [this](MessageIcon, MessageButtons, const QString &,
                                           const QString &) {
      ++messages;
      return MessageAnswer::Ok;
    };
    form.services.quit = [] {};
    if (!form.load(instance))
      qFatal("the window did not load");
    form.show();
    QCoreApplication::processEvents();
  }

  void SetMessage(const Workload &w) {
    Probe(form).messageEdit()->setPlainText(QString::fromLatin1(
        reinterpret_cast<const char *>(w.bytes.data()), static_cast<qsizetype>(w.bytes.size())));
    Probe(form).optionLists()[1]->setCurrentIndex(w.ecLevel - 1);
  }

  // Clicks "生成二维码" and returns once the composite is in symbolHolder_.
  void Generate() {
    QEventLoop done;
    QObject::connect(&form, &MainWindow::generationFinished, &done, &QEventLoop::quit);
    Probe(form).generateButton()->click();
    if (form.generating())
      done.exec();
  }

  static inline int serial = 0;
  SingleInstance instance;
  MainWindow form;
  int messages = 0;
};

const Workload &Text(const char *name) {
  static const std::vector<Workload> all = Workloads();
  for (const Workload &w : all)
    if (QLatin1String(w.name) == QLatin1String(name))
      return w;
  qFatal("no workload %s", name);
}

void BM_Generate(benchmark::State &state, const char *text, int logoSide) {
  Window window(LogoFile(logoSide));
  window.SetMessage(Text(text));
  window.Generate(); // the encoder object and the caches of the first run
  for (auto _ : state)
    window.Generate();
  if (!Probe(window.form).symbolHolder()->hasPicture() || window.messages != 0)
    state.SkipWithError("the generation did not give a clean code");
}

// The interface thread beats every millisecond while it is free; the longest
// time between two beats, or between the click and the next beat, is the
// longest the window could not answer.
void BM_Stall(benchmark::State &state, const char *text, int logoSide) {
  Window window(LogoFile(logoSide));
  window.SetMessage(Text(text));
  window.Generate();
  double whole = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    auto beat = [&] {
      const qint64 now = clock.nsecsElapsed();
      worst = std::max(worst, now - last);
      last = now;
    };
    QTimer heart;
    heart.setTimerType(Qt::PreciseTimer);
    heart.setInterval(1);
    QObject::connect(&heart, &QTimer::timeout, beat);
    heart.start();
    clock.start();
    window.Generate();
    beat();
    heart.stop();
    state.SetIterationTime(static_cast<double>(worst) * 1e-9);
    whole += static_cast<double>(clock.nsecsElapsed()) * 1e-9;
  }
  state.counters["whole_ms"] =
      benchmark::Counter(whole * 1e3 / static_cast<double>(state.iterations()));
}

void BM_StartUp(benchmark::State &state) {
  for (auto _ : state) {
    SingleInstance instance(ScratchFile(QStringLiteral("startup-lock")));
    MainWindow form;
    form.services.pageAddress = QUrl();
    form.services.quit = [] {};
    if (!form.load(instance))
      qFatal("the window did not load");
    form.show();
    QEventLoop painted;
    struct FirstPaint : QObject {
      QEventLoop *loop;
      bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() == QEvent::Paint)
          loop->quit();
        return false;
      }
    } filter;
    filter.loop = &painted;
    form.installEventFilter(&filter);
    painted.exec();
    form.removeEventFilter(&filter);
  }
}

const bool registered = [] {
  using benchmark::RegisterBenchmark;
  for (const char *text : {"W1", "W2"})
    RegisterBenchmark((std::string("Generate/") + text + "/logo512").c_str(), BM_Generate, text,
                      512)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1)
        ->Repetitions(40)
        ->ReportAggregatesOnly(true);
  const struct {
    const char *text;
    int logoSide;
  } stalls[] = {{"W2", 512}, {"W5", 512}, {"W5", 7000}};
  for (const auto &s : stalls)
    RegisterBenchmark(
        (std::string("Stall/") + s.text + "/logo" + std::to_string(s.logoSide)).c_str(), BM_Stall,
        s.text, s.logoSide)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(s.logoSide > 1000 ? 5 : 20)
        ->ComputeStatistics(
            "max",
            [](const std::vector<double> &v) { return *std::max_element(v.begin(), v.end()); })
        ->ReportAggregatesOnly(true);
  RegisterBenchmark("StartUp", BM_StartUp)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(1)
      ->Repetitions(20)
      ->ReportAggregatesOnly(true);
  return true;
}();

} // namespace
} // namespace zub::bench

int main(int argc, char **argv) {
  QTemporaryDir dir;
  zub::bench::scratch = &dir;
  // Nothing of the user's: settings, the runtime folder and the instance
  // locks live in the scratch folder; no display and no session bus.
  qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // The offscreen platform cannot shape the logo box; saying so on every
  // generation would bury the figures.
  static const QtMessageHandler qtDefault = qInstallMessageHandler(nullptr);
  qInstallMessageHandler(
      [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (!text.contains(QLatin1String("does not support setting window masks")))
          qtDefault(type, context, text);
      });
  QApplication app(argc, argv);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
