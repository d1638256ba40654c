#include <QtTest>
class Grad_buttonTest : public QObject { Q_OBJECT };
QTEST_MAIN(Grad_buttonTest)
#include "Grad_button_test.moc"
