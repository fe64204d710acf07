#include "retrieval/version_check.h"

#include "common/product_name.h"
#include "common/text_literal.h"
#include "retrieval/http_client.h"
#include "retrieval/servers.h"

namespace corvella {

std::string UpdateFileUrl() {
  std::string url = "http://";
  url += kSiteHost;
  url += kUpdateRequestPath;
  return url;
}

std::string UpdateNoticeTitle() { return std::string(kProductName); }

std::string UpdateNoticeText() {
  // Built piece by piece: Clang 14 crashes on a local string initialised from a Cyrillic literal.
  std::string text;
  text += "Обнаружена новая версия программы!"_cp;
  text += '\r';
  text += "На сайте "_cp;
  text += kSiteHost;
  return text;
}

void CheckVersion(HttpClient& client, const OwnFileDate& ownDate, NoticeSink& notices) {
  client.Head(UpdateFileUrl());
  DateTime published = client.Response().lastModified;
  DateTime limit = ownDate.Read() + kUpdateMargin;
  // Both dates are whole seconds; comparing the rounded difference keeps "exactly one day
  // later" from tipping either way on the last bit of a double.
  double secondsLater = (published - limit) * 86400.0;
  if (secondsLater >= 0.5) {
    notices.ShowNotice(UpdateNoticeTitle(), UpdateNoticeText(), NoticeKind::Info, kUpdateNoticeSeconds);
  }
}

}  // namespace corvella
