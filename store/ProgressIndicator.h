#pragma once

// What a long store operation needs of a progress bar.
class ProgressIndicator {
  public:
    virtual ~ProgressIndicator() = default;
    virtual void setMinimum(int value) = 0;
    virtual void setMaximum(int value) = 0;
    virtual void setPosition(int value) = 0;
};
