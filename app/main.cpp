#include <QApplication>
#include <QPainter>
#include <QSplashScreen>
#include <QTimer>

#include "app/AppIcon.h"
#include "app/MainWindow.h"

namespace {

// The splash: the application's mark and name, drawn rather than shipped.
QPixmap SplashPicture() {
    QPixmap picture(420, 220);
    picture.fill(QColor(0x6b, 0x4f, 0x2a));
    QPainter p(&picture);
    p.drawPixmap(24, 68, pw::app::AppIcon().pixmap(84, 84));
    p.setPen(Qt::white);
    QFont title = p.font();
    title.setPointSize(26);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(128, 60, 280, 50), Qt::AlignLeft | Qt::AlignVCenter, "Pagewright");
    QFont line = p.font();
    line.setPointSize(10);
    line.setBold(false);
    p.setFont(line);
    p.drawText(QRect(128, 112, 280, 40), Qt::AlignLeft | Qt::AlignTop, "Salvage for damaged Access databases");
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Pagewright");
    QApplication::setWindowIcon(pw::app::AppIcon());

    pw::app::MainWindow window;
    window.show();
    // A click or two seconds end the splash; it never holds the window up.
    auto* splash = new QSplashScreen(SplashPicture(), Qt::WindowStaysOnTopHint);
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    QTimer::singleShot(2000, splash, &QWidget::close);
    if (argc > 1) window.OpenFile(QString::fromLocal8Bit(argv[1]));
    return app.exec();
}
