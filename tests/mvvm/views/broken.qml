import QtQuick 2.0

Rectangle {
    width: 10
    this is not QML
}
