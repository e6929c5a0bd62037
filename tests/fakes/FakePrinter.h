#pragma once

#include <QPointF>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "platform/Printer.h"

namespace sorvane::fakes {

// Hands out jobs with a fixed page and line height that record what they print; can have no
// printer at all or fail on a given line.
class FakePrinterProvider final : public platform::PrinterProvider {
 public:
  std::unique_ptr<platform::Printer> openDefault() override;

  float scaleTop = 0, scaleHeight = 15840, lineHeight = 240;  // twips
  bool noPrinter = false;
  int failAtLine = -1;  // zero-based; -1 for never
  QStringList lines;    // every job's, in order
  // Where each line started, page by page; a job's first line and every new page open one.
  std::vector<std::vector<QPointF>> pages;
  int ended = 0;
};

class FakePrinter final : public platform::Printer {
 public:
  explicit FakePrinter(FakePrinterProvider& log) : log_(log) {}
  float scaleTop() const override { return log_.scaleTop; }
  float scaleHeight() const override { return log_.scaleHeight; }
  float currentX() const override { return x_; }
  void setCurrentX(float twips) override { x_ = twips; }
  float currentY() const override { return y_; }
  void setCurrentY(float twips) override { y_ = twips; }
  void printLine(const QString& text) override {
    if (lines_++ == log_.failAtLine) throw platform::PrinterError(QStringLiteral("打印机出错。"));
    if (lines_ == 1) log_.pages.emplace_back();
    log_.pages.back().emplace_back(x_, y_);
    log_.lines.append(text);
    x_ = 0;
    y_ += log_.lineHeight;
  }
  void newPage() override {
    log_.pages.emplace_back();
    x_ = y_ = 0;
  }
  void endDoc() override { ++log_.ended; }

 private:
  FakePrinterProvider& log_;
  float x_ = 0, y_ = 0;
  int lines_ = 0;
};

inline std::unique_ptr<platform::Printer> FakePrinterProvider::openDefault() {
  if (noPrinter) throw platform::PrinterError(QStringLiteral("没有找到默认打印机。"));
  return std::make_unique<FakePrinter>(*this);
}

}  // namespace sorvane::fakes
