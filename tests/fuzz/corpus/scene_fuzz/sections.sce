*
*MotionData
MotionName: B
END
* Level
foo: bar
END
* 
// * MotionData
* MotionData
  MotionName:	C // no
MotionName: Cc
	AMCFiles:c.amc,
BodyWeights:0
End
* Character
CharacterName: Endless
Position: 1 2 3
DefaultRootMotion: cc
