#include <QtTest>
class Button_section_barTest : public QObject { Q_OBJECT };
QTEST_MAIN(Button_section_barTest)
#include "Button_section_bar_test.moc"
