// The floor of the program's start-up: a Qt Widgets window of the same size with a line edit, a
// list and a text view, and nothing else.

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Empty"));
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLineEdit(&window));
    auto *row = new QHBoxLayout;
    row->addWidget(new QListWidget(&window));
    row->addWidget(new QTextEdit(&window), 1);
    layout->addLayout(row, 1);
    window.resize(621, 466);
    window.show();
    return QApplication::exec();
}
