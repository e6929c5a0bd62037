#include "fakes/FakePrinter.h"

namespace sorvane::fakes {

namespace {

class FakePrinter final : public platform::Printer {
 public:
  explicit FakePrinter(FakePrinterProvider& log) : log_(log) {}
  ~FakePrinter() override {
    if (!ended_) ++log_.dropped;
  }

  float scaleTop() const override { return log_.scaleTop; }
  float scaleHeight() const override { return log_.scaleHeight; }
  float currentX() const override { return x_; }
  void setCurrentX(float twips) override { x_ = twips; }
  float currentY() const override { return y_; }
  void setCurrentY(float twips) override { y_ = twips; }

  void printLine(const QString& text) override {
    if (lines_++ == log_.failAtLine) throw platform::PrinterError(QStringLiteral("打印机出错。"));
    log_.events.push_back({PrintEvent::Kind::Line, text, x_, y_});
    x_ = 0;
    y_ += log_.lineHeight;
  }
  void newPage() override {
    log_.events.push_back({PrintEvent::Kind::NewPage, {}, x_, y_});
    x_ = 0;
    y_ = 0;
  }
  void endDoc() override {
    log_.events.push_back({PrintEvent::Kind::EndDoc, {}, x_, y_});
    ended_ = true;
    ++log_.ended;
  }

 private:
  FakePrinterProvider& log_;
  float x_ = 0;
  float y_ = 0;
  int lines_ = 0;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<platform::Printer> FakePrinterProvider::openDefault() {
  if (noPrinter) throw platform::PrinterError(QStringLiteral("没有找到默认打印机。"));
  ++opened;
  return std::make_unique<FakePrinter>(*this);
}

std::vector<QStringList> FakePrinterProvider::pages() const {
  std::vector<QStringList> result;
  for (const PrintEvent& event : events) {
    if (event.kind == PrintEvent::Kind::EndDoc) continue;
    if (result.empty() || event.kind == PrintEvent::Kind::NewPage) result.emplace_back();
    if (event.kind == PrintEvent::Kind::Line) result.back().append(event.text);
  }
  return result;
}

QStringList FakePrinterProvider::lines() const {
  QStringList result;
  for (const PrintEvent& event : events)
    if (event.kind == PrintEvent::Kind::Line) result.append(event.text);
  return result;
}

}  // namespace sorvane::fakes
