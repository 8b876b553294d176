#include "ai/SharedNetwork.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QThread>

namespace SharedNetwork {

QNetworkAccessManager& manager()
{
    Q_ASSERT(!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread());
    // Leaked on purpose: replies may still refer to it while statics are torn down.
    static QNetworkAccessManager* nam = new QNetworkAccessManager;
    return *nam;
}

}  // namespace SharedNetwork
