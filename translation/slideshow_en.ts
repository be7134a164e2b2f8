<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Dialog</name>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>%1 hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 sec</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>mainview</name>
    <message>
        <source>Add Photos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add photos to slideshow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change Music</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change background music</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show slideshow preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Slideshow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start saving slideshow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show slideshow settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Slideshow...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Photos...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Music...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove Photos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove Music</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Photo Clockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Photo Counterclockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove Photo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Preview...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Slideshow...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Home Page</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Facebok</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Twitter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slideshow saving process not finished yet. Are you sure want to quit?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure want to create new slideshow? Current progress will be lost.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Site</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Good news! Slideshow successfully created.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show In Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sorry. Slideshow creation failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error code: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Report Problem</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loading photos...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loading music...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 photos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click to add photos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>or drag and drop it here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 photos processed, %3 left.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You always can change video quality and format in settings.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resume making process</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause making process</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop making process</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Clockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Counterclockwise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Insert Photos...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove All</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>playerview</name>
    <message>
        <source>Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video quality is lowered due performance reasons. Result video will be much better!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mute</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>settingsview</name>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose output folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Photo duration:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transition duration:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Align slideshow duration according audio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apply Ken Burns effect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video format:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Windows Standard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mac OS X Standard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>iPhone 5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>iPhone 4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>iPhone 3GS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>iPad with Retina Display</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>iPad and iPad Mini</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>YouTube Video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Facebook Video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video aspect:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video quality:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>High</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Medium</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Low</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Output folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change output folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slideshow name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ask every time before making slideshow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Continue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
