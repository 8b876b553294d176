#pragma once

class QNetworkAccessManager;

namespace SharedNetwork {
// The process-wide HTTP client. Created at first use; use it from the main
// thread only.
QNetworkAccessManager& manager();
}
