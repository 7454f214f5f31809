// The playback volume: the volume slider's percent, the loaded entry's base
// volume and mute give the linear gain handed to the movie window (which turns
// it into hundredths of a decibel itself). Free of any Windows API.
#pragma once

class TVolume {
public:
    int Percent() const { return FPercent; }
    double BaseVolume() const { return FBaseVolume; }
    bool Muted() const { return FMuted; }

    // The gain for the movie window: 0 while muted, otherwise
    // percent / 100 x base volume.
    double Gain() const;

    // Each setter returns true when the movie window's volume must be set to
    // Gain() now.
    // Clamped to 0..100; applied only when it changes and not muted.
    bool SetPercent(int percent);
    // Clamped to 0..1 (a value that is not a number counts as 1, the
    // default); applied unless muted.
    bool SetBaseVolume(double base);
    // On silences, off applies the volume again; always applied.
    bool SetMuted(bool on);

private:
    int FPercent = 100;
    double FBaseVolume = 1.0;
    bool FMuted = false;
};
