#include "traffictext.h"

#include "capture/traffic.h"
#include "maintexts.h"

QString RateText(double bytesPerSecond)
{
    if (bytesPerSecond < 999.5) {
        return MainTexts::RateBytes.arg(qRound(bytesPerSecond));
    }
    return MainTexts::RateKilobytes.arg(bytesPerSecond / 1000.0, 0, 'f', 1);
}

QString TrafficText(const TrafficSnapshot &snapshot)
{
    QString text = MainTexts::TrafficText.arg(snapshot.received)
                       .arg(snapshot.sent)
                       .arg(RateText(snapshot.receiveRate));
    if (snapshot.errors && snapshot.errors->total() != 0) {
        text += MainTexts::TrafficErrors.arg(snapshot.errors->total());
    }
    return text;
}

QString TrafficToolTip(const TrafficSnapshot &snapshot)
{
    QString tip = MainTexts::TrafficTip.arg(snapshot.received)
                      .arg(snapshot.sent)
                      .arg(RateText(snapshot.receiveRate));
    if (const auto &e = snapshot.errors) {
        tip += MainTexts::TrafficTipErrors.arg(e->frame)
                   .arg(e->parity)
                   .arg(e->overrun)
                   .arg(e->bufferOverrun)
                   .arg(e->breaks);
    }
    return tip;
}
