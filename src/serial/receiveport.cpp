#include "serial/receiveport.h"

#include "serial/qtserialport.h"

#include <QSerialPort>

namespace serial {

ReceivePort::~ReceivePort() = default;

struct QtReceivePort::Private {
    QSerialPort port;
};

QtReceivePort::QtReceivePort() : d(new Private) {}

QtReceivePort::~QtReceivePort()
{
    close();
    delete d;
}

bool QtReceivePort::open(const QString &device, int baud)
{
    close();
    m_device = device;
    m_error.clear();
    m_failed = false;
    d->port.setPortName(device);
    if (!d->port.open(QIODevice::ReadOnly)) {
        m_error = describeOpenError(d->port.error(), device, d->port.errorString());
        return false;
    }
    const bool configured = d->port.setBaudRate(baud) && d->port.setDataBits(QSerialPort::Data8) &&
                            d->port.setParity(QSerialPort::NoParity) &&
                            d->port.setStopBits(QSerialPort::OneStop) &&
                            d->port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_error = QStringLiteral("%1: the line settings %2,n,8,1 were refused (%3).")
                      .arg(device)
                      .arg(baud)
                      .arg(d->port.errorString());
        d->port.close();
        return false;
    }
    d->port.clearError();
    return true;
}

QByteArray QtReceivePort::read(int waitMs)
{
    if (m_failed || !d->port.isOpen())
        return {};
    if (d->port.bytesAvailable() == 0)
        d->port.waitForReadyRead(waitMs);
    QByteArray bytes = d->port.readAll();
    switch (d->port.error()) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
        d->port.clearError();
        break;
    default:
        m_failed = true;
        m_error = QStringLiteral("%1: %2.").arg(m_device, d->port.errorString());
        d->port.close();
        break;
    }
    return bytes;
}

void QtReceivePort::close()
{
    if (d->port.isOpen())
        d->port.close();
}

} // namespace serial
