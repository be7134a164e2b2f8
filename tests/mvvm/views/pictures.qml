import QtQuick 2.0

// Reads what the view model hands over.
Item {
    width: 100
    height: 100
    property string name: dataContext.name
}
