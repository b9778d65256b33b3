x
* MotionData
MotionName: A
AMCFiles: a.amc
BodyWeights: 0
END
* Character
CharacterName: Lost
DefaultRootMotion: missing 0
END
* MotionData
MotionName: Never
AMCFiles: gone.amc
BodyWeights: 0
END
