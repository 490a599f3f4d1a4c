// Test peer: kovra_instance_peer CAPTION IDENTITY RECORD_FILE
// Listens like a tail window with that caption and identity, prints its handle on a line of its
// own once it answers, and appends each show/hide request it receives to RECORD_FILE, one per line.
#include <cstdio>

#include <QCoreApplication>
#include <QFile>

#include "platform/instances.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    InstanceChannel channel;
    channel.SetCaption(args[1]);
    channel.SetIdentity(args[2].toUInt());
    const QString record = args[3];
    QObject::connect(&channel, &InstanceChannel::ShowHideRequested, &channel, [&record](int mode) {
        QFile file(record);
        if (file.open(QIODevice::Append))
            file.write(QByteArray::number(mode) + '\n');
    });
    if (!channel.Listen())
        return 3;
    std::printf("%d\n", static_cast<int>(channel.Handle()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
