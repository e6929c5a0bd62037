#include "fAbout1.h"

#include "platform/AppInfo.h"

namespace sorvane::about {

fAbout1::fAbout1(platform::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Dialog), services_(services) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("关于 ") + platform::AppInfo::title());
}

}  // namespace sorvane::about
