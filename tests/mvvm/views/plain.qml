import QtQuick 2.0

// No hosting members at all.
Rectangle {
    width: 120
    height: 90
}
