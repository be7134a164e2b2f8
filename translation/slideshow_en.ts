<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Dialog</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>%1 hour</source>
        <translation>%1 hour</translation>
    </message>
    <message>
        <source>%1 sec</source>
        <translation>%1 sec</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
</context>
<context>
    <name>ViewModel::ConvertViewModel</name>
    <message numerus="yes">
        <source>These photos could not be read; their slides are black in the video:</source>
        <translation>
            <numerusform>This photo could not be read; its slide is black in the video:</numerusform>
            <numerusform>These photos could not be read; their slides are black in the video:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>These photos are damaged; the video shows them only as far as they could be read:</source>
        <translation>
            <numerusform>This photo is damaged; the video shows it only as far as it could be read:</numerusform>
            <numerusform>These photos are damaged; the video shows them only as far as they could be read:</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ViewModel::StoryboardViewModel</name>
    <message numerus="yes">
        <source>These files were left out:</source>
        <translation>
            <numerusform>This file was left out:</numerusform>
            <numerusform>These files were left out:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>They are kept in the storyboard for when they are back: they come back at a later start where they are found. Remove them from the storyboard for good?</source>
        <translation>
            <numerusform>It is kept in the storyboard for when it is back: it comes back at a later start where it is found. Remove it from the storyboard for good?</numerusform>
            <numerusform>They are kept in the storyboard for when they are back: they come back at a later start where they are found. Remove them from the storyboard for good?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>These photos are damaged; they show only as far as they could be read:</source>
        <translation>
            <numerusform>This photo is damaged; it shows only as far as it could be read:</numerusform>
            <numerusform>These photos are damaged; they show only as far as they could be read:</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>mainview</name>
    <message>
        <source>Add Photos</source>
        <translation>Add Photos</translation>
    </message>
    <message>
        <source>Add photos to slideshow</source>
        <translation>Add photos to slideshow</translation>
    </message>
    <message>
        <source>Change Music</source>
        <translation>Change Music</translation>
    </message>
    <message>
        <source>Change background music</source>
        <translation>Change background music</translation>
    </message>
    <message>
        <source>Show Preview</source>
        <translation>Show Preview</translation>
    </message>
    <message>
        <source>Show slideshow preview</source>
        <translation>Show slideshow preview</translation>
    </message>
    <message>
        <source>Make Slideshow</source>
        <translation>Make Slideshow</translation>
    </message>
    <message>
        <source>Start saving slideshow</source>
        <translation>Start saving slideshow</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Show slideshow settings</source>
        <translation>Show slideshow settings</translation>
    </message>
    <message>
        <source>New Slideshow...</source>
        <translation>New Slideshow...</translation>
    </message>
    <message>
        <source>Add Photos...</source>
        <translation>Add Photos...</translation>
    </message>
    <message>
        <source>Add Music...</source>
        <translation>Add Music...</translation>
    </message>
    <message>
        <source>Remove Photos</source>
        <translation>Remove Photos</translation>
    </message>
    <message>
        <source>Remove Music</source>
        <translation>Remove Music</translation>
    </message>
    <message>
        <source>Rotate Photo Clockwise</source>
        <translation>Rotate Photo Clockwise</translation>
    </message>
    <message>
        <source>Rotate Photo Counterclockwise</source>
        <translation>Rotate Photo Counterclockwise</translation>
    </message>
    <message>
        <source>Remove Photo</source>
        <translation>Remove Photo</translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation>Settings...</translation>
    </message>
    <message>
        <source>Show Preview...</source>
        <translation>Show Preview...</translation>
    </message>
    <message>
        <source>Make Slideshow...</source>
        <translation>Make Slideshow...</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Home Page</source>
        <translation>Home Page</translation>
    </message>
    <message>
        <source>Facebok</source>
        <translation>Facebok</translation>
    </message>
    <message>
        <source>Twitter</source>
        <translation>Twitter</translation>
    </message>
    <message>
        <source>Slideshow saving process not finished yet. Are you sure want to quit?</source>
        <translation>Slideshow saving process not finished yet. Are you sure want to quit?</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Are you sure want to create new slideshow? Current progress will be lost.</source>
        <translation>Are you sure want to create new slideshow? Current progress will be lost.</translation>
    </message>
    <message>
        <source>Create</source>
        <translation>Create</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Open Site</source>
        <translation>Open Site</translation>
    </message>
    <message>
        <source>Good news! Slideshow successfully created.</source>
        <translation>Good news! Slideshow successfully created.</translation>
    </message>
    <message>
        <source>Show In Folder</source>
        <translation>Show In Folder</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Sorry. Slideshow creation failed.</source>
        <translation>Sorry. Slideshow creation failed.</translation>
    </message>
    <message>
        <source>Error code: %1</source>
        <translation>Error code: %1</translation>
    </message>
    <message>
        <source>Report Problem</source>
        <translation>Report Problem</translation>
    </message>
    <message>
        <source>Loading photos...</source>
        <translation>Loading photos...</translation>
    </message>
    <message>
        <source>Loading music...</source>
        <translation>Loading music...</translation>
    </message>
    <message numerus="yes">
        <source>%n photos</source>
        <translation>
            <numerusform>%n photo</numerusform>
            <numerusform>%n photos</numerusform>
        </translation>
    </message>
    <message>
        <source>Click to add photos</source>
        <translation>Click to add photos</translation>
    </message>
    <message>
        <source>or drag and drop it here</source>
        <translation>or drag and drop it here</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Paused</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n photos processed, %2 left.</source>
        <translation>
            <numerusform>%1 of %n photo processed, %2 left.</numerusform>
            <numerusform>%1 of %n photos processed, %2 left.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Keep Them</source>
        <translation>
            <numerusform>Keep It</numerusform>
            <numerusform>Keep Them</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Remove Them</source>
        <translation>
            <numerusform>Remove It</numerusform>
            <numerusform>Remove Them</numerusform>
        </translation>
    </message>
    <message>
        <source>You always can change video quality and format in settings.</source>
        <translation>You always can change video quality and format in settings.</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Resume making process</source>
        <translation>Resume making process</translation>
    </message>
    <message>
        <source>Pause making process</source>
        <translation>Pause making process</translation>
    </message>
    <message>
        <source>Stop making process</source>
        <translation>Stop making process</translation>
    </message>
    <message>
        <source>Rotate Clockwise</source>
        <translation>Rotate Clockwise</translation>
    </message>
    <message>
        <source>Rotate Counterclockwise</source>
        <translation>Rotate Counterclockwise</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Insert Photos...</source>
        <translation>Insert Photos...</translation>
    </message>
    <message>
        <source>Remove All</source>
        <translation>Remove All</translation>
    </message>
</context>
<context>
    <name>playerview</name>
    <message>
        <source>Preview</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>Video quality is lowered due performance reasons. Result video will be much better!</source>
        <translation>Video quality is lowered due performance reasons. Result video will be much better!</translation>
    </message>
    <message>
        <source>No sound device was found, so the preview cannot play. Making the video is not affected.</source>
        <translation>No sound device was found, so the preview cannot play. Making the video is not affected.</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>Full Screen</translation>
    </message>
</context>
<context>
    <name>settingsview</name>
    <message>
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Choose output folder</source>
        <translation>Choose output folder</translation>
    </message>
    <message>
        <source>Photo duration:</source>
        <translation>Photo duration:</translation>
    </message>
    <message>
        <source>Transition duration:</source>
        <translation>Transition duration:</translation>
    </message>
    <message>
        <source>Align slideshow duration according audio</source>
        <translation>Align slideshow duration according audio</translation>
    </message>
    <message>
        <source>Apply Ken Burns effect</source>
        <translation>Apply Ken Burns effect</translation>
    </message>
    <message>
        <source>Video format:</source>
        <translation>Video format:</translation>
    </message>
    <message>
        <source>Windows Standard</source>
        <translation>Windows Standard</translation>
    </message>
    <message>
        <source>Mac OS X Standard</source>
        <translation>Mac OS X Standard</translation>
    </message>
    <message>
        <source>iPhone 5</source>
        <translation>iPhone 5</translation>
    </message>
    <message>
        <source>iPhone 4</source>
        <translation>iPhone 4</translation>
    </message>
    <message>
        <source>iPhone 3GS</source>
        <translation>iPhone 3GS</translation>
    </message>
    <message>
        <source>iPad with Retina Display</source>
        <translation>iPad with Retina Display</translation>
    </message>
    <message>
        <source>iPad and iPad Mini</source>
        <translation>iPad and iPad Mini</translation>
    </message>
    <message>
        <source>YouTube Video</source>
        <translation>YouTube Video</translation>
    </message>
    <message>
        <source>Facebook Video</source>
        <translation>Facebook Video</translation>
    </message>
    <message>
        <source>Video aspect:</source>
        <translation>Video aspect:</translation>
    </message>
    <message>
        <source>Video quality:</source>
        <translation>Video quality:</translation>
    </message>
    <message>
        <source>High</source>
        <translation>High</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>Output folder:</source>
        <translation>Output folder:</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>Change output folder</source>
        <translation>Change output folder</translation>
    </message>
    <message>
        <source>Slideshow name:</source>
        <translation>Slideshow name:</translation>
    </message>
    <message>
        <source>Ask every time before making slideshow</source>
        <translation>Ask every time before making slideshow</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
</context>
</TS>
